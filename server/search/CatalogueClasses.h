#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "CatalogueSearch.h"
#include "NameMatcher.h"

class CLookupDatabase;

// The catalogue's classes as the Local tab shows them: a component's packages and classes
// for the versions found on a machine, the components and versions that hold a class, and
// the classes a search names. The class names come from the lookup table, which versions
// hold them from the catalogue.
class CCatalogueClasses
{
public:
    CCatalogueClasses(const CLookupDatabase& lookup, CCatalogueSearch& catalogue)
        : m_lookup(lookup), m_catalogue(catalogue)
    {
    }

    // The classes of scid held by any of versions, sorted; all of its classes when versions
    // names none the catalogue knows.
    std::vector<std::string_view> ClassesOf(const std::string& scid, const std::vector<std::string>& versions);

    struct CHolder
    {
        std::string scid;
        std::string name;
        std::vector<std::string> versions;  // newest first
    };
    std::vector<CHolder> HoldersOf(std::string_view className);

    struct CHit
    {
        std::string className;
        std::string scid;
    };
    // Classes whose simple name (or, for a query with a dot, whose whole name) matches as a
    // Java search does, best first, at most limit rows.
    std::vector<CHit> Search(std::string_view query, size_t limit);

    static constexpr size_t kSearchLimit = 1000;

    // The answers the client reads: classes/package/class, and the Local search's class rows.
    std::string ClassListAnswer(const std::string& scid, const std::vector<std::string>& versions);
    static void AppendSearchRows(std::string& out, const std::vector<CHit>& hits);

    // Positions of "0-41 45"; false for text that is not such a list.
    static bool ParseRanges(std::string_view text, std::vector<std::pair<size_t, size_t>>& ranges);

private:
    // Each distinct simple name once, with the rows that bear it; folded only when its
    // characters do not already rule it out, so the index stays small.
    struct CSimpleName
    {
        std::string_view name;  // in the lookup table
        uint64_t characters;
        std::vector<uint32_t> rows;
    };
    const std::vector<CSimpleName>& SimpleNames();
    // Which of a component's count sorted classes the version holds.
    static std::vector<bool> HeldBy(const CCatalogueSearch::CVersion& version, size_t count);

    const CLookupDatabase& m_lookup;
    CCatalogueSearch& m_catalogue;
    std::once_flag m_indexed;
    std::vector<CSimpleName> m_simpleNames;
};
