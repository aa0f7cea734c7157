#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "JarScan.h"

class CLookupConnection;

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

// The scan of the locations the user chose: every archive (with the archives inside it) and
// class tree below them, each distinct class name looked up once, pipelined, archive by
// archive. A name that finds nothing is tried again without its first one or two package
// segments; such finds count only where most of the names under that prefix agree.
class CLocationScan
{
public:
    using CCancelled = std::function<bool()>;

    // reconnect: makes the connection anew after it failed; false when it cannot.
    CLocationScan(CLookupConnection& connection, std::function<bool()> reconnect);

    // Collects what the locations hold; stops as soon as it is cancelled.
    void Walk(const std::vector<std::string>& locations, const CCancelled& cancelled);
    size_t GetItemCount() const { return m_items.size(); }
    const std::string& GetItemPath(size_t index) const { return m_items[index].path; }

    // Lists one item and looks up its names not asked before. False when the lookup server
    // could not answer; the item then adds nothing.
    bool ScanItem(size_t index);

    // Each component once, in the order first found, with every place it was found.
    const std::vector<CFoundComponent>& GetComponents() const { return m_components; }
    size_t GetNamesLookedUp() const { return m_scidsOf.size(); }

private:
    struct CItem
    {
        std::string path;
        bool archive = true;
        std::vector<std::string> names;  // a class tree's, read by the walk
    };

    bool LookUp(const std::vector<std::string>& names);
    bool ScanSource(const std::string& path, CMatch match, const std::vector<std::string>& names);
    bool FindRelocated(const std::vector<std::string>& names, std::map<std::string, size_t>& counts);
    void Add(const std::string& scid, CFind find);

    CLookupConnection& m_connection;
    std::function<bool()> m_reconnect;
    CJarScan m_jarScan;
    std::vector<CItem> m_items;
    std::map<std::string, std::vector<std::string>> m_scidsOf;
    std::vector<CFoundComponent> m_components;
    std::map<std::string, size_t> m_componentAt;
};
