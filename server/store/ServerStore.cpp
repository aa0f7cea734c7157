#include "ServerStore.h"

#include <cstdio>

#include "DatabaseFactory.h"
#include "Schema.h"
#include "SqlDatabase.h"

CServerStore::CServerStore(std::unique_ptr<CSqlDatabase> database)
    : m_database(std::move(database)), m_clients(*m_database), m_reports(*m_database),
      m_marketSessions(*m_database), m_siteTables(*m_database)
{
}

CServerStore::~CServerStore() = default;

std::unique_ptr<CServerStore> CServerStore::Open(const std::string& location, std::string& error)
{
    auto database = CDatabaseFactory::Open(location, error);
    if (!database)
        return nullptr;
    size_t applied = 0;
    if (!CSchema::Store().Upgrade(*database, applied, error)) {
        error = database->Describe() + ": " + error;
        return nullptr;
    }
    return std::make_unique<CServerStore>(std::move(database));
}

std::string CServerStore::Describe() const { return m_database->Describe(); }

void CServerStore::LogFailure(const std::string& what, const std::string& error) const
{
    std::fprintf(stderr, "vantrel-server: %s failed in the %s: %s\n", what.c_str(), Describe().c_str(), error.c_str());
}

bool CServerStore::Import(const std::vector<CClientTable::CVisit>& visits,
                          const std::vector<CReportTable::CReport>& reports, CImported& imported, std::string& error)
{
    auto work = [&](CSqlConnection& connection, std::string& failure) {
        imported = {};
        return m_clients.Import(connection, visits, imported.clients, imported.visits, failure) &&
                       m_reports.Import(connection, reports, imported.reports, imported.renumbered, failure)
                   ? CSqlDatabase::CWork::Commit
                   : CSqlDatabase::CWork::Failed;
    };
    return m_database->InTransaction(true, work, error);
}
