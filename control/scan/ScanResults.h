#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// How a component was found in a place.
enum class CMatch
{
    Direct,     // the archive or class tree holds its classes
    Nested,     // an archive inside another archive holds them
    Relocated,  // they stand under another package prefix (a shaded copy)
};
const char* MatchName(CMatch match);  // "direct", "nested", "relocated"

// How the version of a find was established.
enum class CVersionBasis
{
    Catalogue,     // the catalogue's version of the component: nothing told its versions apart
    Fingerprints,  // the fingerprints of the classes seen pin one catalogued version (or a set)
    Metadata,      // the archive's pom.properties
    Manifest,      // the archive's MANIFEST.MF
    FileName,      // the archive's file name
};
const char* VersionBasisName(CVersionBasis basis);  // "catalogue", "fingerprints", "metadata", "manifest", "filename"

// One place a component was found, with how many of its classes were seen there.
struct CFind
{
    CFind() = default;
    CFind(std::string path, CMatch match, size_t classes) : path(std::move(path)), match(match), classes(classes) {}

    std::string path;  // an archive, "outer.war!/WEB-INF/lib/inner.jar", or a class tree's folder
    CMatch match = CMatch::Direct;
    size_t classes = 0;
    std::string relocatedPrefix;  // a relocated find: the prefix its classes stand under ("shaded.")
    // The version found there and how; empty when candidates holds the versions that the
    // classes seen cannot tell apart.
    std::string version;
    CVersionBasis basis = CVersionBasis::Catalogue;
    std::vector<std::string> candidates;  // in the catalogue's order, when more than one
    // The archive's own metadata naming another version than its classes: that version and
    // where it said so ("pom.properties", "MANIFEST.MF", "file name"); empty when none does.
    std::string claimedVersion;
    std::string claimedBy;
};

// An archive or class tree in which no catalogued component was found, named as far as its
// own content allows, so that a report leaves nothing out.
struct CUnidentified
{
    std::string path;
    bool nested = false;
    std::string match;  // "metadata" (pom.properties), "manifest", "filename" or "unidentified"
    std::string group;
    std::string artifact;
    std::string version;
    std::string name;
    std::string sha1;  // of the archive's bytes; empty for a class tree
    std::string sha256;
    size_t classes = 0;
};

struct CFoundComponent
{
    std::string scid;
    std::vector<CFind> finds;
};

// What a scan found, in the order found: each find of a component in a place. The views
// are taken from it: the CLASSPATH's (one entry per SCID occurrence), the locations' (each
// component once with its places), and both together for a report.
class CScanResults
{
public:
    // The CLASSPATH: one occurrence of a component's class in the element source.
    void AddOccurrence(const std::string& scid, const std::string& source);
    // A scan location's archive or class tree.
    void AddFind(const std::string& scid, CFind find);
    // An archive or class tree no matcher found a component in.
    void AddUnidentified(CUnidentified unidentified) { m_unidentified.push_back(std::move(unidentified)); }

    // The finds in path added last, each with its SCID: those of the unit being matched, for
    // a later matcher to complete. Valid until the next find is added.
    std::vector<std::pair<std::string, CFind*>> RecentFinds(const std::string& path);

    // The CLASSPATH's SCIDs, one per occurrence, repeats kept.
    std::vector<std::string> GetOccurrences() const;
    // The locations' components, each once in the order first found, with every place.
    std::vector<CFoundComponent> GetLocationComponents() const;
    // Every component, the CLASSPATH's first (a place per element, its occurrences counted),
    // each once with its places.
    std::vector<CFoundComponent> GetComponents() const;
    // The units no component was found in, in the order scanned.
    const std::vector<CUnidentified>& GetUnidentified() const { return m_unidentified; }

private:
    struct CRecord
    {
        std::string scid;
        bool classPath;
        CFind find;
    };
    void Group(bool classPath, std::vector<CFoundComponent>& components) const;

    std::vector<CRecord> m_records;
    std::vector<CUnidentified> m_unidentified;
};
