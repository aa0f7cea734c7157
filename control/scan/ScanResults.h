#pragma once

#include <cstddef>
#include <string>
#include <vector>

// How a component was found in a place.
enum class CMatch
{
    Direct,     // the archive or class tree holds its classes
    Nested,     // an archive inside another archive holds them
    Relocated,  // they stand under another package prefix (a shaded copy)
};
const char* MatchName(CMatch match);  // "direct", "nested", "relocated"

// One place a component was found, with how many of its classes were seen there.
struct CFind
{
    std::string path;  // an archive, "outer.war!/WEB-INF/lib/inner.jar", or a class tree's folder
    CMatch match = CMatch::Direct;
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

    // The CLASSPATH's SCIDs, one per occurrence, repeats kept.
    std::vector<std::string> GetOccurrences() const;
    // The locations' components, each once in the order first found, with every place.
    std::vector<CFoundComponent> GetLocationComponents() const;
    // Every component, the CLASSPATH's first (a place per element, its occurrences counted),
    // each once with its places.
    std::vector<CFoundComponent> GetComponents() const;

private:
    struct CRecord
    {
        std::string scid;
        bool classPath;
        CFind find;
    };
    void Group(bool classPath, std::vector<CFoundComponent>& components) const;

    std::vector<CRecord> m_records;
};
