#pragma once

#include <map>
#include <string>
#include <vector>

#include "ServerStore.h"

// Bug reports and feature requests sent from the support pages, in the server's store: each
// under a number of its own, never overwritten, at most a quota a day from one address.
class CReportStore
{
public:
    CReportStore(CServerStore& store, int quota) : m_store(store), m_quota(quota) {}

    // fields: "email", "summary", "details" and, for bugs, "platform".
    CReportTable::CAdded Store(const std::string& kind, const std::map<std::string, std::string>& fields);
    // Reports whose address is email, newest first; false when the store failed.
    bool ReportsOf(const std::string& email, std::vector<CReportTable::CReport>& reports, std::string& error);

    int Quota() const { return m_quota; }

    static constexpr size_t kMaxField = 4000;
    static constexpr size_t kListed = 50;

private:
    CServerStore& m_store;
    int m_quota;
};
