#include "ScanResults.h"

#include <algorithm>
#include <map>
#include <utility>

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

const char* VersionBasisName(CVersionBasis basis)
{
    switch (basis) {
    case CVersionBasis::Fingerprints:
        return "fingerprints";
    case CVersionBasis::Metadata:
        return "metadata";
    case CVersionBasis::Manifest:
        return "manifest";
    case CVersionBasis::FileName:
        return "filename";
    case CVersionBasis::Catalogue:
        break;
    }
    return "catalogue";
}

void CScanResults::AddOccurrence(const std::string& scid, const std::string& source)
{
    m_records.push_back({scid, true, CFind(source, CMatch::Direct, 1)});
}

void CScanResults::AddFind(const std::string& scid, CFind find) { m_records.push_back({scid, false, std::move(find)}); }

std::vector<std::pair<std::string, CFind*>> CScanResults::RecentFinds(const std::string& path)
{
    std::vector<std::pair<std::string, CFind*>> finds;
    for (auto record = m_records.rbegin(); record != m_records.rend(); ++record) {
        if (record->classPath || record->find.path != path)
            break;
        finds.emplace_back(record->scid, &record->find);
    }
    std::reverse(finds.begin(), finds.end());
    return finds;
}

std::vector<std::string> CScanResults::GetOccurrences() const
{
    std::vector<std::string> scids;
    for (const CRecord& record : m_records)
        if (record.classPath)
            scids.push_back(record.scid);
    return scids;
}

std::vector<CFoundComponent> CScanResults::GetLocationComponents() const
{
    std::vector<CFoundComponent> components;
    Group(false, components);
    return components;
}

std::vector<CFoundComponent> CScanResults::GetComponents() const
{
    std::vector<CFoundComponent> components;
    Group(true, components);
    Group(false, components);
    return components;
}

// Appends the records of one side to components, each component once; the CLASSPATH's
// occurrences in one element add up to one place.
void CScanResults::Group(bool classPath, std::vector<CFoundComponent>& components) const
{
    std::map<std::string, size_t> at;
    for (size_t i = 0; i < components.size(); ++i)
        at.emplace(components[i].scid, i);
    std::map<std::pair<std::string, std::string>, size_t> placeAt;
    for (const CRecord& record : m_records) {
        if (record.classPath != classPath)
            continue;
        auto [entry, added] = at.emplace(record.scid, components.size());
        if (added)
            components.push_back({record.scid, {}});
        std::vector<CFind>& finds = components[entry->second].finds;
        if (!classPath) {
            finds.push_back(record.find);
            continue;
        }
        auto [place, first] = placeAt.emplace(std::pair(record.scid, record.find.path), finds.size());
        if (first)
            finds.push_back(record.find);
        else
            finds[place->second].classes += record.find.classes;
    }
}
