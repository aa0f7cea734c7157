#include "LocationScan.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "ErrorReport.h"
#include "LocationWalk.h"
#include "LookupConnection.h"

namespace
{
// The name without its first cut package segments, and what was cut ("shaded."); nothing
// when too little is left to be a class in a package.
bool CutSegments(const std::string& name, int cut, std::string& prefix, std::string& rest)
{
    size_t at = 0;
    for (int i = 0; i < cut; ++i) {
        size_t dot = name.find('.', at);
        if (dot == std::string::npos)
            return false;
        at = dot + 1;
    }
    if (name.find('.', at) == std::string::npos)
        return false;
    prefix = name.substr(0, at);
    rest = name.substr(at);
    return true;
}
}  // namespace

const char* MatchName(CMatch match)
{
    switch (match) {
    case CMatch::Nested:
        return "nested";
    case CMatch::Relocated:
        return "relocated";
    case CMatch::Direct:
        break;
    }
    return "direct";
}

CLocationScan::CLocationScan(CLookupConnection& connection, std::function<bool()> reconnect)
    : m_connection(connection), m_reconnect(std::move(reconnect))
{
}

void CLocationScan::Walk(const std::vector<std::string>& locations, const CCancelled& cancelled)
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

bool CLocationScan::ScanItem(size_t index)
{
    const CItem& item = m_items[index];
    if (!item.archive)
        return ScanSource(item.path, CMatch::Direct, item.names);
    std::vector<CJarScan::CListing> listings;
    if (!m_jarScan.ListNested(item.path, listings)) {
        DebugOutput("scan: cannot read the archive " + item.path + "\n");
        return true;
    }
    for (const CJarScan::CListing& listing : listings) {
        if (!ScanSource(listing.path, listing.depth > 0 ? CMatch::Nested : CMatch::Direct, listing.names))
            return false;
    }
    return true;
}

bool CLocationScan::ScanSource(const std::string& path, CMatch match, const std::vector<std::string>& names)
{
    std::vector<std::string> distinct = names;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    if (!LookUp(distinct))
        return false;

    std::map<std::string, size_t> counts;
    std::vector<std::string> order;
    for (const std::string& name : distinct) {
        for (const std::string& scid : m_scidsOf[name])
            if (counts[scid]++ == 0)
                order.push_back(scid);
    }
    for (const std::string& scid : order)
        Add(scid, {path, match, counts[scid]});

    std::map<std::string, size_t> relocated;
    if (!FindRelocated(distinct, relocated))
        return false;
    for (const auto& [scid, classes] : relocated)
        Add(scid, {path, CMatch::Relocated, classes});
    return true;
}

bool CLocationScan::FindRelocated(const std::vector<std::string>& names, std::map<std::string, size_t>& counts)
{
    std::vector<std::string> open;
    for (const std::string& name : names)
        if (m_scidsOf[name].empty())
            open.push_back(name);

    for (int cut = 1; cut <= 2 && !open.empty(); ++cut) {
        // The names under one cut prefix, each with what is left of it.
        std::map<std::string, std::vector<std::pair<std::string, std::string>>> groups;
        std::vector<std::string> rests;
        for (const std::string& name : open) {
            std::string prefix, rest;
            if (CutSegments(name, cut, prefix, rest)) {
                groups[prefix].emplace_back(name, rest);
                rests.push_back(rest);
            }
        }
        if (!LookUp(rests))
            return false;
        std::vector<std::string> stillOpen;
        for (const auto& [prefix, members] : groups) {
            const size_t known = static_cast<size_t>(std::count_if(
                members.begin(), members.end(), [this](const auto& member) { return !m_scidsOf[member.second].empty(); }));
            // A copy moved under another prefix moves most of its names; a few names that
            // happen to match after the cut are chance.
            if (known * 2 <= members.size()) {
                for (const auto& member : members)
                    stillOpen.push_back(member.first);
                continue;
            }
            for (const auto& member : members)
                for (const std::string& scid : m_scidsOf[member.second])
                    ++counts[scid];
        }
        open = std::move(stillOpen);
    }
    return true;
}

bool CLocationScan::LookUp(const std::vector<std::string>& names)
{
    std::vector<std::string> missing;
    for (const std::string& name : names)
        if (!m_scidsOf.count(name))
            missing.push_back(name);
    if (missing.empty() || m_connection.FindScidsPipelined(missing, m_scidsOf))
        return true;
    // A connection the server ended (its lifetime, a restart) is made once more.
    if (!m_reconnect || !m_reconnect())
        return false;
    std::erase_if(missing, [this](const std::string& name) { return m_scidsOf.count(name) != 0; });
    return m_connection.FindScidsPipelined(missing, m_scidsOf);
}

void CLocationScan::Add(const std::string& scid, CFind find)
{
    auto [at, added] = m_componentAt.emplace(scid, m_components.size());
    if (added)
        m_components.push_back({scid, {}});
    m_components[at->second].finds.push_back(std::move(find));
}
