#include "ServerStore.h"

#include <cstdio>

#include "DatabaseFactory.h"
#include "Schema.h"
#include "SqlDatabase.h"

CServerStore::CServerStore(std::unique_ptr<CSqlDatabase> database)
    : m_database(std::move(database)), m_clients(*m_database), m_reports(*m_database),
      m_marketSessions(*m_database), m_siteTables(*m_database), m_catalogueTables(*m_database)
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

bool CServerStore::LoadSite(const std::string& cataloguePath, const CSiteTables::CContent& site,
                            const CCatalogueTables::CContent& catalogue, std::string& error)
{
    auto work = [&](CSqlConnection& connection, std::string& failure) {
        return m_siteTables.Replace(connection, cataloguePath, site, failure) &&
                       m_catalogueTables.Replace(connection, catalogue, failure)
                   ? CSqlDatabase::CWork::Commit
                   : CSqlDatabase::CWork::Failed;
    };
    if (!m_database->InTransaction(true, work, error))
        return false;
    // The load passed through the write-ahead log whole: give that room back now rather than
    // keep a log as large as the tables beside them.
    if (m_database->Dialect() == CSqlDatabase::CDialect::SQLite)
        m_database->Run("PRAGMA wal_checkpoint(TRUNCATE)");
    return true;
}

bool CServerStore::LoadAdvisories(const CAdvisoryChoice& choose, size_t& written, int64_t& generation,
                                  std::string& error)
{
    auto work = [&](CSqlConnection& connection, std::string& failure) {
        written = 0;
        std::unordered_map<std::string, std::string> held;
        if (!CAdvisoryTable::HeldModified(connection, held, failure) ||
            !CAdvisoryTable::Generation(connection, generation, failure))
            return CSqlDatabase::CWork::Failed;
        std::vector<CAdvisoryTable::CRow> rows = choose(held);
        if (rows.empty())
            return CSqlDatabase::CWork::RollBack;
        if (!CAdvisoryTable::NextGeneration(connection, generation, failure))
            return CSqlDatabase::CWork::Failed;
        for (const CAdvisoryTable::CRow& row : rows)
            if (!CAdvisoryTable::Put(connection, row, generation, failure))
                return CSqlDatabase::CWork::Failed;
        written = rows.size();
        return CSqlDatabase::CWork::Commit;
    };
    return m_database->InTransaction(true, work, error);
}

bool CServerStore::ReadAdvisories(int64_t after, const std::function<void(CAdvisoryTable::CRow)>& each,
                                  int64_t& generation, std::string& error)
{
    // A retried read hands the same rows again: the caller's merge rule keeps them once.
    auto work = [&](CSqlConnection& connection, std::string& failure) {
        return CAdvisoryTable::ReadSince(connection, after, each, generation, failure) ? CSqlDatabase::CWork::RollBack
                                                                                      : CSqlDatabase::CWork::Failed;
    };
    return m_database->InTransaction(false, work, error);
}

bool CServerStore::AdvisoryGeneration(int64_t& generation, std::string& error)
{
    auto work = [&](CSqlConnection& connection, std::string& failure) {
        return CAdvisoryTable::Generation(connection, generation, failure) ? CSqlDatabase::CWork::RollBack
                                                                           : CSqlDatabase::CWork::Failed;
    };
    return m_database->InTransaction(false, work, error);
}

bool CServerStore::ReadSite(const std::string& cataloguePath, CSiteTables::CContent& site, bool& found,
                            CCatalogueTables::CReceiver& catalogue, bool& versionsFound, std::string& error)
{
    auto work = [&](CSqlConnection& connection, std::string& failure) {
        versionsFound = false;
        if (!m_siteTables.Read(connection, cataloguePath, site, found, failure) ||
            (found && !m_catalogueTables.Read(connection, catalogue, versionsFound, failure)))
            return CSqlDatabase::CWork::Failed;
        return CSqlDatabase::CWork::RollBack;
    };
    return m_database->InTransaction(false, work, error);
}
