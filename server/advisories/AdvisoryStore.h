#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "AdvisoryLoader.h"
#include "AdvisorySet.h"

class CServerStore;

// --load-advisories: the records of a folder, ZIP archive or file into the store, by the
// merge rule against what the store holds, in one transaction. The report's added, replaced
// and kept count against the store; written is how many rows changed.
bool ImportAdvisories(CServerStore& store, const std::string& path, const CAdvisoryLimits& limits,
                      CAdvisoryLoadReport& report, size_t& written, int64_t& generation, std::string& error);

// What one server matches against: the store's records in memory, brought up to the store's
// generation before each use, so that a load shows at once on every server sharing the store.
// Only the rows of the generations not read yet are read.
class CAdvisoryCache
{
public:
    explicit CAdvisoryCache(CServerStore& store) : m_store(store) {}

    // Reads what is new; false with error when the store cannot be read (the records held
    // stay in use).
    bool Refresh(std::string& error);
    // use runs with the records as of the last refresh; no refresh runs meanwhile.
    void Use(const std::function<void(const CAdvisorySet& set, int64_t generation)>& use) const;

    // Rows of the store the reader refused (none unless the store was written by hand).
    size_t Refused() const;

private:
    CServerStore& m_store;
    mutable std::shared_mutex m_lock;  // readers match, one refresh writes
    std::mutex m_refreshing;
    CAdvisorySet m_set;
    int64_t m_generation = 0;
    size_t m_refused = 0;
};
