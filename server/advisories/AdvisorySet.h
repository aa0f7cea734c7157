#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "AdvisorySink.h"

// The records in memory, by id and by package, for matching components against them.
class CAdvisorySet : public IAdvisorySink
{
public:
    EMergeOutcome Offer(COsvRecord record) override;

    size_t Size() const { return m_records.size(); }
    const COsvRecord* Find(const std::string& id) const;
    const std::unordered_map<std::string, COsvRecord>& Records() const { return m_records; }

    struct CMatch
    {
        std::vector<const COsvRecord*> affecting;
        // Records for the package whose ranges cannot be evaluated: the version is not known
        // to be safe from them.
        std::vector<const COsvRecord*> unevaluable;
    };
    // Both lists in id order; withdrawn records take no part.
    CMatch Match(const std::string& package, const CMavenVersion& version) const;

private:
    void Index(const COsvRecord& record);
    void Unindex(const COsvRecord& record);

    std::unordered_map<std::string, COsvRecord> m_records;
    std::unordered_map<std::string, std::vector<const COsvRecord*>> m_byPackage;
};
