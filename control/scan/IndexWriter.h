#pragma once

#include <string>

class CCatalogueEntries;
class CScanResults;

// Writes the Local collection's index from a scan's results and their catalogue entries:
// the CLASSPATH's view, one "component" element per SCID occurrence as the catalogue gave
// it, then the locations' view, one per component with a "foundIn" element per place.
class CIndexWriter
{
public:
    // "Local/components.xml" in the data directory; staged: with "_new" appended, for a scan
    // that the Options dialog commits later.
    static std::string IndexPath(bool staged);
    // The file's root element and its attributes stay (a new "components" root when the file
    // is missing or not well-formed); its previous entries go. False when it cannot be written.
    static bool Write(const std::string& path, const CScanResults& results, const CCatalogueEntries& catalogue);
};
