#include "RelocatedMatcher.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "LookupService.h"
#include "ScanResults.h"
#include "ScanUnit.h"

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

bool CRelocatedMatcher::Match(const CScanUnit& unit, CLookupService& lookup, CScanResults& results)
{
    const std::vector<std::string>& names = unit.GetDistinctNames();
    if (!lookup.LookUp(names))
        return false;
    std::vector<std::string> open;
    for (const std::string& name : names)
        if (lookup.ScidsOf(name).empty())
            open.push_back(name);

    std::map<std::string, std::pair<size_t, std::string>> counts;  // SCID -> classes, the prefix first seen
    for (int cut = 1; cut <= kMaxCut && !open.empty(); ++cut) {
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
        if (!lookup.LookUp(rests))
            return false;
        std::vector<std::string> stillOpen;
        for (const auto& [prefix, members] : groups) {
            const size_t known = static_cast<size_t>(std::count_if(members.begin(), members.end(), [&lookup](const auto& member) {
                return !lookup.ScidsOf(member.second).empty();
            }));
            // A copy moved under another prefix moves most of its names; a few names that
            // happen to match after the cut are chance.
            if (known * 2 <= members.size()) {
                for (const auto& member : members)
                    stillOpen.push_back(member.first);
                continue;
            }
            for (const auto& member : members)
                for (const std::string& scid : lookup.ScidsOf(member.second)) {
                    auto& [classes, relocatedPrefix] = counts[scid];
                    if (classes++ == 0)
                        relocatedPrefix = prefix;
                }
        }
        open = std::move(stillOpen);
    }
    for (const auto& [scid, found] : counts) {
        CFind find(unit.GetPath(), CMatch::Relocated, found.first);
        find.relocatedPrefix = found.second;
        results.AddFind(scid, std::move(find));
    }
    return true;
}
