#include "VersionMatcher.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ClassFingerprint.h"
#include "LookupService.h"
#include "MavenVersion.h"
#include "ScanResults.h"
#include "ScanUnit.h"
#include "UnitContent.h"

namespace
{
// How many of a find's fingerprinted classes each version of its component holds.
class CVersionTally
{
public:
    explicit CVersionTally(std::string scid) : m_scid(std::move(scid)) {}

    void Add(const std::vector<CFingerprintHit>& hits)
    {
        std::set<std::string> versions;
        for (const CFingerprintHit& hit : hits)
            if (hit.scid == m_scid)
                versions.insert(hit.version);
        if (versions.empty())
            return;
        ++m_known;
        for (const std::string& version : versions)
            ++m_counts[version];
    }
    size_t Known() const { return m_known; }
    // The versions holding the most of the classes known.
    std::vector<std::string> Leaders() const
    {
        size_t best = 0;
        for (const auto& [version, count] : m_counts)
            best = std::max(best, count);
        std::vector<std::string> leaders;
        for (const auto& [version, count] : m_counts)
            if (count == best)
                leaders.push_back(version);
        return leaders;
    }
    // One version holds every class known: more classes could only contradict it.
    bool Pinned() const
    {
        const std::vector<std::string> leaders = Leaders();
        return leaders.size() == 1 && m_counts.at(leaders.front()) == m_known;
    }

private:
    std::string m_scid;
    std::map<std::string, size_t> m_counts;
    size_t m_known = 0;
};

bool SameVersion(const std::string& a, const std::string& b)
{
    const auto left = CMavenVersion::Parse(a), right = CMavenVersion::Parse(b);
    return left && right ? *left == *right : a == b;
}

// Newest first, as the catalogue lists versions.
void SortNewestFirst(std::vector<std::string>& versions)
{
    std::stable_sort(versions.begin(), versions.end(), [](const std::string& a, const std::string& b) {
        const auto left = CMavenVersion::Parse(a), right = CMavenVersion::Parse(b);
        return left && right ? *left > *right : a > b;
    });
}

// Whether the name is one of the component's classes as the find saw it.
bool Belongs(const std::string& name, const std::string& scid, const CFind& find, const CLookupService& lookup)
{
    std::string looked = name;
    if (find.match == CMatch::Relocated) {
        if (find.relocatedPrefix.empty() || !name.starts_with(find.relocatedPrefix))
            return false;
        looked = name.substr(find.relocatedPrefix.size());
    }
    const std::vector<std::string>& scids = lookup.ScidsOf(looked);
    return std::find(scids.begin(), scids.end(), scid) != scids.end();
}

// The archive's own word on its version, the strongest first; empty when it gives none.
std::pair<std::string, std::string> ClaimedVersion(const CArchiveMetadata& metadata)
{
    if (metadata.HasPom() && !metadata.GetPomVersion().empty())
        return {metadata.GetPomVersion(), "pom.properties"};
    if (const std::string version = metadata.GetManifestVersion(); !version.empty())
        return {version, "MANIFEST.MF"};
    if (!metadata.GetFileVersion().empty())
        return {metadata.GetFileVersion(), "file name"};
    return {};
}

// Fingerprints the find's class files round by round and sets its version from the tally.
// False when the lookup server could not answer.
bool Establish(const std::string& scid, CFind& find, const std::vector<const CUnitContent::CClassEntry*>& files,
               CUnitContent& content, CLookupService& lookup)
{
    CVersionTally tally(scid);
    size_t next = 0;
    for (size_t round = 0; next < files.size(); ++round) {
        const size_t size = round < std::size(CVersionMatcher::kRounds) ? CVersionMatcher::kRounds[round] : files.size();
        std::vector<std::uint64_t> fingerprints;
        for (const size_t end = std::min(files.size(), next + size); next < end; ++next)
            if (const std::optional<std::string> bytes = content.ReadClassFile(*files[next]))
                // A class that cannot be parsed gives no fingerprint and counts for nothing.
                if (const auto fingerprint = CClassFingerprint::Compute(*bytes, find.relocatedPrefix))
                    fingerprints.push_back(*fingerprint);
        std::sort(fingerprints.begin(), fingerprints.end());
        fingerprints.erase(std::unique(fingerprints.begin(), fingerprints.end()), fingerprints.end());
        if (!fingerprints.empty() && !lookup.LookUpFingerprints(fingerprints))
            return false;
        for (std::uint64_t fingerprint : fingerprints)
            tally.Add(lookup.VersionsOf(fingerprint));
        if (tally.Pinned() || (round >= 1 && tally.Known() == 0))
            break;
    }
    if (tally.Known() == 0) {
        find.basis = CVersionBasis::Catalogue;
        return true;
    }
    find.basis = CVersionBasis::Fingerprints;
    std::vector<std::string> leaders = tally.Leaders();
    if (leaders.size() == 1) {
        find.version = leaders.front();
    } else {
        SortNewestFirst(leaders);
        find.candidates = std::move(leaders);
    }
    return true;
}
}  // namespace

bool CVersionMatcher::Match(const CScanUnit& unit, CLookupService& lookup, CScanResults& results)
{
    CUnitContent* content = unit.GetContent();
    const std::vector<std::pair<std::string, CFind*>> finds = results.RecentFinds(unit.GetPath());
    if (!content || finds.empty())
        return true;

    // Each find's classes, and all of them, read in one pass over the unit.
    std::vector<std::set<std::string>> namesOf(finds.size());
    std::set<std::string> all;
    for (const std::string& name : unit.GetDistinctNames())
        for (size_t i = 0; i < finds.size(); ++i)
            if (Belongs(name, finds[i].first, *finds[i].second, lookup)) {
                namesOf[i].insert(name);
                all.insert(name);
            }
    const std::vector<CUnitContent::CClassEntry> files = content->FindClassFiles(all);
    // The archive's metadata speaks for a component only where it holds that one alone, as
    // itself: in a merged or shaded archive it names the archive, not what is inside.
    const bool alone = finds.size() == 1 && finds.front().second->match != CMatch::Relocated;

    for (size_t i = 0; i < finds.size(); ++i) {
        const auto& [scid, find] = finds[i];
        std::vector<const CUnitContent::CClassEntry*> own;
        for (const CUnitContent::CClassEntry& file : files)
            if (namesOf[i].count(file.name))
                own.push_back(&file);
        if (!Establish(scid, *find, own, *content, lookup))
            return false;
        if (!alone || find->basis != CVersionBasis::Fingerprints)
            continue;
        const auto [claimed, by] = ClaimedVersion(content->GetMetadata());
        const std::vector<std::string> versions = find->candidates.empty() ? std::vector{find->version} : find->candidates;
        if (!claimed.empty() && std::none_of(versions.begin(), versions.end(),
                                             [&](const std::string& version) { return SameVersion(version, claimed); })) {
            find->claimedVersion = claimed;
            find->claimedBy = by;
        }
    }
    return true;
}
