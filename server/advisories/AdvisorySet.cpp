#include "AdvisorySet.h"

#include <algorithm>

EMergeOutcome CAdvisorySet::Offer(COsvRecord record)
{
    auto found = m_records.find(record.id);
    const EMergeOutcome outcome = DecideMerge(found == m_records.end() ? nullptr : &found->second, record);
    if (outcome == EMergeOutcome::Kept)
        return outcome;
    if (outcome == EMergeOutcome::Replaced) {
        Unindex(found->second);
        found->second = std::move(record);
    } else {
        found = m_records.emplace(record.id, std::move(record)).first;
    }
    Index(found->second);
    return outcome;
}

const COsvRecord* CAdvisorySet::Find(const std::string& id) const
{
    auto found = m_records.find(id);
    return found == m_records.end() ? nullptr : &found->second;
}

CAdvisorySet::CMatch CAdvisorySet::Match(const std::string& package, const CMavenVersion& version) const
{
    CMatch match;
    auto found = m_byPackage.find(package);
    if (found == m_byPackage.end())
        return match;
    for (const COsvRecord* record : found->second) {
        if (!record->unevaluable.empty())
            match.unevaluable.push_back(record);
        else if (record->Affects(package, version))
            match.affecting.push_back(record);
    }
    auto byId = [](const COsvRecord* left, const COsvRecord* right) { return left->id < right->id; };
    if (match.affecting.size() > 1)
        std::sort(match.affecting.begin(), match.affecting.end(), byId);
    if (match.unevaluable.size() > 1)
        std::sort(match.unevaluable.begin(), match.unevaluable.end(), byId);
    return match;
}

// Records live in nodes of m_records, which stay put while the map changes.
void CAdvisorySet::Index(const COsvRecord& record)
{
    if (record.Withdrawn())
        return;
    for (const std::string& package : record.Packages())
        m_byPackage[package].push_back(&record);
}

void CAdvisorySet::Unindex(const COsvRecord& record)
{
    for (const std::string& package : record.Packages()) {
        auto found = m_byPackage.find(package);
        if (found == m_byPackage.end())
            continue;
        std::erase(found->second, &record);
        if (found->second.empty())
            m_byPackage.erase(found);
    }
}
