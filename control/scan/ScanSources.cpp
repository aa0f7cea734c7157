#include "ScanSources.h"

#include <filesystem>
#include <set>
#include <utility>

#include "ErrorReport.h"
#include "LocationWalk.h"
#include "UnitContent.h"

namespace
{
constexpr char kListSeparator = ':';

// Only these four spellings name an archive; anything else (A.Jar, a short name) is a directory.
bool IsArchive(const std::string& element)
{
    if (element.size() < 5)
        return false;
    return element.ends_with(".jar") || element.ends_with(".JAR") || element.ends_with(".zip") ||
           element.ends_with(".ZIP");
}
}  // namespace

CScanSources::CScanSources(CDiagnostics diagnostics) { m_jarScan.SetDiagnostics(std::move(diagnostics)); }

std::vector<CScanUnit> CScanSources::ListClassPath(const std::string& classPath, const CCancelled& cancelled)
{
    std::vector<CScanUnit> units;
    size_t start = 0;
    while (start <= classPath.size() && !cancelled()) {
        size_t end = classPath.find(kListSeparator, start);
        if (end == std::string::npos)
            end = classPath.size();
        std::string element = classPath.substr(start, end - start);
        start = end + 1;
        // An empty element would walk the whole file system from its root.
        if (element.empty())
            continue;
        std::vector<std::string> names;
        if (IsArchive(element)) {
            m_jarScan.GetClasses(element, names);
        } else {
            CLocationWalk walk(false, cancelled);
            walk.Walk(element);
            for (const auto& [root, treeNames] : walk.GetTrees())
                names.insert(names.end(), treeNames.begin(), treeNames.end());
        }
        units.emplace_back(std::move(element), false, std::move(names));
    }
    return units;
}

void CScanSources::FindLocations(const std::vector<std::string>& locations, const CCancelled& cancelled)
{
    std::set<std::string> seen;
    for (const std::string& location : locations) {
        if (cancelled())
            return;
        CLocationWalk walk(true, cancelled);
        walk.Walk(location);
        // A location inside another, or named twice, is read once.
        for (const std::string& archive : walk.GetArchives()) {
            std::error_code ec;
            if (seen.insert(std::filesystem::weakly_canonical(archive, ec).string()).second)
                m_items.push_back({archive, true, {}});
        }
        for (const auto& [root, names] : walk.GetTrees()) {
            std::error_code ec;
            if (seen.insert(std::filesystem::weakly_canonical(root, ec).string() + "/").second)
                m_items.push_back({root, false, names});
        }
    }
}

std::vector<CScanUnit> CScanSources::ListItem(size_t index)
{
    CItem& item = m_items[index];
    std::vector<CScanUnit> units;
    if (!item.archive) {
        units.emplace_back(item.path, false, std::move(item.names), std::make_shared<CUnitContent>(item.path));
        return units;
    }
    std::vector<CJarScan::CListing> listings;
    if (!m_jarScan.ListNested(item.path, listings)) {
        DebugOutput("scan: cannot read the archive " + item.path + "\n");
        return units;
    }
    for (CJarScan::CListing& listing : listings)
        units.emplace_back(std::move(listing.path), listing.depth > 0, std::move(listing.names), std::move(listing.content));
    return units;
}
