#include "AdvisoryStore.h"

#include <vector>

#include "OsvWriter.h"
#include "ServerStore.h"

bool ImportAdvisories(CServerStore& store, const std::string& path, const CAdvisoryLimits& limits,
                      CAdvisoryLoadReport& report, size_t& written, int64_t& generation, std::string& error)
{
    // The files are read whole before the transaction opens: a retried transaction must not
    // read them twice, and the newest copy of an id within the files wins among them first.
    CAdvisorySet loaded;
    report = CAdvisoryLoader(loaded, limits).Load(path);
    if (!report.error.empty()) {
        error = report.error;
        return false;
    }
    auto choose = [&](const std::unordered_map<std::string, std::string>& held) {
        report.added = report.replaced = report.kept = 0;
        std::vector<CAdvisoryTable::CRow> rows;
        for (const auto& [id, record] : loaded.Records()) {
            COsvRecord heldCopy;
            auto found = held.find(id);
            if (found != held.end()) {
                // A held text that does not parse reads as the oldest time: the load mends it.
                heldCopy.modified = COsvTime::Parse(found->second).value_or(COsvTime{});
            }
            switch (DecideMerge(found == held.end() ? nullptr : &heldCopy, record)) {
            case EMergeOutcome::Kept: ++report.kept; continue;
            case EMergeOutcome::Added: ++report.added; break;
            case EMergeOutcome::Replaced: ++report.replaced; break;
            }
            rows.push_back({id, record.modifiedText, WriteOsvRecord(record)});
        }
        return rows;
    };
    return store.LoadAdvisories(choose, written, generation, error);
}

bool CAdvisoryCache::Refresh(std::string& error)
{
    int64_t generation = 0;
    if (!m_store.AdvisoryGeneration(generation, error))
        return false;
    {
        std::shared_lock reading(m_lock);
        if (generation == m_generation)
            return true;
    }
    // One refresh at a time reads; the others find the generation read when they get here.
    std::lock_guard refreshing(m_refreshing);
    int64_t after = 0;
    {
        std::shared_lock reading(m_lock);
        after = m_generation;
    }
    if (after >= generation)
        return true;
    std::vector<COsvRecord> fresh;
    size_t refused = 0;
    auto each = [&](CAdvisoryTable::CRow row) {
        COsvReader::CRead read = COsvReader::Read(row.record);
        if (read.result == COsvReader::EResult::Record)
            fresh.push_back(std::move(read.record));
        else
            ++refused;
    };
    if (!m_store.ReadAdvisories(after, each, generation, error))
        return false;
    std::unique_lock writing(m_lock);
    for (COsvRecord& record : fresh)
        m_set.Offer(std::move(record));
    m_generation = generation;
    m_refused += refused;
    return true;
}

void CAdvisoryCache::Use(const std::function<void(const CAdvisorySet& set, int64_t generation)>& use) const
{
    std::shared_lock reading(m_lock);
    use(m_set, m_generation);
}

size_t CAdvisoryCache::Refused() const
{
    std::shared_lock reading(m_lock);
    return m_refused;
}
