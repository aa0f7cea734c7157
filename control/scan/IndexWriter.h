#pragma once

#include <string>

class CAdvisoryClient;
class CCatalogueEntries;
class CScanResults;

// Writes the Local collection's index from a scan's results and their catalogue entries:
// the CLASSPATH's view, one "component" element per SCID occurrence as the catalogue gave
// it, then the locations' view, one per component with a "foundIn" element per place (with
// the version found there and how, where known), then the archives and trees no component
// was found in, each under a category of its own with an id that no catalogue SCID can be
// ("local:" and sixteen hex digits). A component that known vulnerabilities affect (or may
// affect) carries affected="yes", an "advisory" element per record with the places of the
// affected copies, and a category of its own beside its catalogue's.
class CIndexWriter
{
public:
    static constexpr const char* kUnidentifiedCategory = "Unidentified archives";
    static constexpr const char* kAffectedCategory = "Affected by known vulnerabilities";

    // "Local/components.xml" in the data directory; staged: with "_new" appended, for a scan
    // that the Options dialog commits later.
    static std::string IndexPath(bool staged);
    // The file's root element and its attributes stay (a new "components" root when the file
    // is missing or not well-formed); its previous entries go. False when it cannot be written.
    static bool Write(const std::string& path, const CScanResults& results, const CCatalogueEntries& catalogue,
                      const CAdvisoryClient* advisories = nullptr);
};
