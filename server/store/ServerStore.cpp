#include "ServerStore.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "SqlDatabase.h"

namespace
{
constexpr int kSchemaVersion = 1;
constexpr uint64_t kFirstClientId = 100001;
constexpr std::time_t kQuotaWindow = 24 * 60 * 60;
// Rows per INSERT when a table is loaded whole.
constexpr size_t kRowsPerInsert = 300;

// The tables, written once for both dialects: ids come from AUTOINCREMENT in SQLite and from
// sequences in PostgreSQL, so an id is never handed out twice, even after a delete.
std::vector<std::string> Schema(bool postgres)
{
    std::string clientId = postgres ? "BIGINT PRIMARY KEY DEFAULT nextval('client_ids')"
                                    : "INTEGER PRIMARY KEY AUTOINCREMENT";
    std::string reportNumber = postgres ? "BIGINT PRIMARY KEY DEFAULT nextval('report_numbers')"
                                        : "INTEGER PRIMARY KEY AUTOINCREMENT";
    std::string integer = postgres ? "BIGINT" : "INTEGER";
    // Times are ISO texts compared as bytes.
    std::string time = postgres ? "TEXT COLLATE \"C\"" : "TEXT";
    std::vector<std::string> schema;
    if (postgres)
        schema = {"SELECT pg_advisory_xact_lock(1986, 1)",
                  "CREATE SEQUENCE IF NOT EXISTS client_ids START " + std::to_string(kFirstClientId),
                  "CREATE SEQUENCE IF NOT EXISTS report_numbers"};
    schema.insert(
        schema.end(),
        {
            "CREATE TABLE IF NOT EXISTS store_info(name TEXT PRIMARY KEY, value TEXT NOT NULL)",
            "CREATE TABLE IF NOT EXISTS clients(id " + clientId + ", registered " + time + " NOT NULL)",
            "CREATE TABLE IF NOT EXISTS client_visits(client " + integer +
                " NOT NULL REFERENCES clients(id), at " + time + " NOT NULL, email TEXT NOT NULL, version TEXT NOT NULL)",
            "CREATE INDEX IF NOT EXISTS client_visits_client ON client_visits(client)",
            "CREATE TABLE IF NOT EXISTS reports(number " + reportNumber +
                ", kind TEXT NOT NULL, email TEXT NOT NULL, platform TEXT NOT NULL, summary TEXT NOT NULL,"
                " details TEXT NOT NULL, received " + time + " NOT NULL)",
            // The help list and the quota: one range of this index each.
            "CREATE INDEX IF NOT EXISTS reports_email ON reports(email, received, number)",
            "CREATE TABLE IF NOT EXISTS market_sessions(id TEXT PRIMARY KEY, created " + time +
                " NOT NULL, look TEXT NOT NULL)",
            "CREATE TABLE IF NOT EXISTS site_documents(path TEXT PRIMARY KEY, content TEXT NOT NULL, modified " +
                integer + " NOT NULL)",
            "CREATE TABLE IF NOT EXISTS lookup_classes(position " + integer +
                " PRIMARY KEY, class_name TEXT NOT NULL, scid TEXT NOT NULL)",
        });
    if (!postgres)
        schema.push_back("INSERT INTO sqlite_sequence(name, seq) SELECT 'clients', " +
                         std::to_string(kFirstClientId - 1) +
                         " WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'clients')");
    schema.push_back("INSERT INTO store_info(name, value) VALUES ('schema', '" + std::to_string(kSchemaVersion) +
                     "') ON CONFLICT (name) DO NOTHING");
    return schema;
}

bool Failed(const CSqlResult& result, std::string& error)
{
    if (!result.ok)
        error = result.error;
    return !result.ok;
}

bool SameReport(const std::vector<std::string>& row, const CServerStore::CReport& report)
{
    return row == std::vector<std::string>{report.kind,    report.email,   report.platform,
                                           report.summary, report.details, report.received};
}
}  // namespace

CServerStore::CServerStore(std::unique_ptr<CSqlDatabase> database)
    : m_database(std::move(database)), m_postgres(m_database->Dialect() == CSqlDatabase::CDialect::PostgreSQL)
{
}

CServerStore::~CServerStore() = default;

std::unique_ptr<CServerStore> CServerStore::Open(const std::string& location, std::string& error)
{
    auto database = CSqlDatabase::Open(location, error);
    if (!database)
        return nullptr;
    auto store = std::make_unique<CServerStore>(std::move(database));
    if (!store->CreateTables(error))
        return nullptr;
    return store;
}

std::string CServerStore::Describe() const { return m_database->Describe(); }

void CServerStore::LogFailure(const std::string& what, const std::string& error) const
{
    std::fprintf(stderr, "vantrel-server: %s failed in the %s: %s\n", what.c_str(), Describe().c_str(), error.c_str());
}

std::string CServerStore::UtcText(std::time_t time)
{
    std::tm utc{};
    ::gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

bool CServerStore::CreateTables(std::string& error)
{
    // Servers starting together on a new database create the tables once.
    CSqlResult version;
    bool created = m_database->InTransaction(
        true,
        [&](CSqlConnection& connection, std::string& failure) {
            for (const auto& statement : Schema(m_postgres)) {
                if (Failed(connection.Run(statement), failure)) {
                    failure = "cannot create the tables: " + failure;
                    return CSqlDatabase::CWork::Failed;
                }
            }
            version = connection.Run("SELECT value FROM store_info WHERE name = 'schema'");
            return Failed(version, failure) ? CSqlDatabase::CWork::Failed : CSqlDatabase::CWork::Commit;
        },
        error);
    if (!created) {
        error = Describe() + ": " + error;
        return false;
    }
    if (version.rows.empty() || version.rows[0][0] != std::to_string(kSchemaVersion)) {
        error = Describe() + " was written by another version of vantrel-server (tables version " +
                (version.rows.empty() ? "unknown" : version.rows[0][0]) + ")";
        return false;
    }
    return true;
}

uint64_t CServerStore::RegisterClient(uint64_t presented, const std::string& email, const std::string& version,
                                      std::string& error)
{
    uint64_t id = 0;
    std::string now = UtcText(std::time(nullptr));
    auto work = [&](CSqlConnection& connection, std::string& failure) {
        id = 0;
        if (presented != 0) {
            // Known only when this store issued it: an id a client made up gets a new one.
            CSqlResult seen = connection.Run("INSERT INTO client_visits(client, at, email, version) "
                                             "SELECT id, CAST($2 AS TEXT), CAST($3 AS TEXT), CAST($4 AS TEXT) "
                                             "FROM clients WHERE id = $1",
                                             {static_cast<int64_t>(presented), now, email, version});
            if (Failed(seen, failure))
                return CSqlDatabase::CWork::Failed;
            if (seen.changed == 1) {
                id = presented;
                return CSqlDatabase::CWork::Commit;
            }
        }
        CSqlResult created = connection.Run("INSERT INTO clients(registered) VALUES ($1) RETURNING id", {now});
        if (Failed(created, failure) || created.rows.empty())
            return CSqlDatabase::CWork::Failed;
        id = std::stoull(created.rows[0][0]);
        CSqlResult visit = connection.Run("INSERT INTO client_visits(client, at, email, version) "
                                          "VALUES ($1, $2, $3, $4)",
                                          {static_cast<int64_t>(id), now, email, version});
        return Failed(visit, failure) ? CSqlDatabase::CWork::Failed : CSqlDatabase::CWork::Commit;
    };
    return m_database->InTransaction(true, work, error) ? id : 0;
}

CServerStore::CAdded CServerStore::AddReport(const CReport& report, int quota)
{
    CAdded added;
    std::time_t now = std::time(nullptr);
    auto work = [&](CSqlConnection& connection, std::string& failure) {
        added.outcome = CAddOutcome::Failed;
        if (quota > 0) {
            // Two servers counting the same address at once would both find room: one waits.
            if (m_postgres &&
                Failed(connection.Run("SELECT pg_advisory_xact_lock(hashtextextended($1, 0))", {report.email}),
                       failure))
                return CSqlDatabase::CWork::Failed;
            CSqlResult sent = connection.Run("SELECT count(*) FROM reports WHERE email = $1 AND received >= $2",
                                             {report.email, UtcText(now - kQuotaWindow)});
            if (Failed(sent, failure) || sent.rows.empty())
                return CSqlDatabase::CWork::Failed;
            if (std::stoll(sent.rows[0][0]) >= quota) {
                added.outcome = CAddOutcome::OverQuota;
                return CSqlDatabase::CWork::RollBack;
            }
        }
        CSqlResult stored = connection.Run(
            "INSERT INTO reports(kind, email, platform, summary, details, received) VALUES ($1, $2, $3, $4, $5, $6) "
            "RETURNING number",
            {report.kind, report.email, report.platform, report.summary, report.details, UtcText(now)});
        if (Failed(stored, failure) || stored.rows.empty())
            return CSqlDatabase::CWork::Failed;
        added.outcome = CAddOutcome::Stored;
        added.number = std::stoll(stored.rows[0][0]);
        return CSqlDatabase::CWork::Commit;
    };
    if (!m_database->InTransaction(true, work, added.error))
        added.outcome = CAddOutcome::Failed;
    return added;
}

bool CServerStore::ReportsOf(const std::string& email, size_t limit, std::vector<CReport>& reports, std::string& error)
{
    CSqlResult found = m_database->Run("SELECT number, kind, email, platform, summary, details, received FROM reports "
                                       "WHERE email = $1 ORDER BY received DESC, number DESC LIMIT $2",
                                       {email, static_cast<int64_t>(limit)});
    if (Failed(found, error))
        return false;
    reports.clear();
    for (auto& row : found.rows)
        reports.push_back({std::stoll(row[0]), std::move(row[1]), std::move(row[2]), std::move(row[3]),
                           std::move(row[4]), std::move(row[5]), std::move(row[6])});
    return true;
}

bool CServerStore::AddMarketSession(const std::string& id, const std::string& look, std::string& error)
{
    // Safe to run again after a broken connection: a session already stored fails by its key.
    return !Failed(m_database->Run("INSERT INTO market_sessions(id, created, look) VALUES ($1, $2, $3)",
                                   {id, UtcText(std::time(nullptr)), look}),
                   error);
}

bool CServerStore::ReplaceSiteTables(const std::string& cataloguePath, const CSiteTables& tables, std::string& error)
{
    auto work = [&](CSqlConnection& connection, std::string& failure) {
        if (m_postgres && Failed(connection.Run("SELECT pg_advisory_xact_lock(1986, 2)"), failure))
            return CSqlDatabase::CWork::Failed;
        if (Failed(connection.Run("DELETE FROM site_documents WHERE path = $1", {cataloguePath}),
                   failure) ||
            Failed(connection.Run(
                       "INSERT INTO site_documents(path, content, modified) VALUES ($1, $2, $3)",
                       {cataloguePath, tables.catalogue, static_cast<int64_t>(tables.modified)}),
                   failure) ||
            Failed(connection.Run("DELETE FROM lookup_classes"), failure))
            return CSqlDatabase::CWork::Failed;
        for (size_t first = 0; first < tables.lookup.size(); first += kRowsPerInsert) {
            size_t count = std::min(kRowsPerInsert, tables.lookup.size() - first);
            std::string sql = "INSERT INTO lookup_classes(position, class_name, scid) VALUES ";
            std::vector<CSqlValue> values;
            for (size_t i = 0; i < count; ++i) {
                size_t base = values.size();
                sql += (i ? ", ($" : "($") + std::to_string(base + 1) + ", $" + std::to_string(base + 2) + ", $" +
                       std::to_string(base + 3) + ")";
                values.emplace_back(static_cast<int64_t>(first + i));
                values.emplace_back(tables.lookup[first + i].first);
                values.emplace_back(tables.lookup[first + i].second);
            }
            if (Failed(connection.Run(sql, values), failure))
                return CSqlDatabase::CWork::Failed;
        }
        return CSqlDatabase::CWork::Commit;
    };
    return m_database->InTransaction(true, work, error);
}

bool CServerStore::ReadSiteTables(const std::string& cataloguePath, CSiteTables& tables, bool& found, std::string& error)
{
    found = false;
    // The catalogue and the lookup table of one load, even while another load runs.
    auto work = [&](CSqlConnection& connection, std::string& failure) {
        CSqlResult document = connection.Run("SELECT content, modified FROM site_documents WHERE path = $1",
                                             {cataloguePath});
        if (Failed(document, failure))
            return CSqlDatabase::CWork::Failed;
        if (document.rows.empty())
            return CSqlDatabase::CWork::RollBack;
        CSqlResult lookup = connection.Run("SELECT class_name, scid FROM lookup_classes ORDER BY position");
        if (Failed(lookup, failure))
            return CSqlDatabase::CWork::Failed;
        tables.catalogue = std::move(document.rows[0][0]);
        tables.modified = static_cast<std::time_t>(std::stoll(document.rows[0][1]));
        tables.lookup.clear();
        tables.lookup.reserve(lookup.rows.size());
        for (auto& row : lookup.rows)
            tables.lookup.emplace_back(std::move(row[0]), std::move(row[1]));
        found = true;
        return CSqlDatabase::CWork::Commit;
    };
    return m_database->InTransaction(false, work, error);
}

namespace
{
// Every client with its first visit, then the visits not there yet.
bool ImportClients(CSqlConnection& connection, const std::vector<CServerStore::CVisit>& visits,
                   CServerStore::CImported& imported, std::string& error)
{
    std::map<uint64_t, std::string> firstSeen;
    for (const auto& visit : visits) {
        auto [entry, added] = firstSeen.emplace(visit.client, visit.at);
        if (!added && visit.at < entry->second)
            entry->second = visit.at;
    }
    for (const auto& [client, at] : firstSeen) {
        CSqlResult created = connection.Run("INSERT INTO clients(id, registered) VALUES ($1, $2) "
                                            "ON CONFLICT (id) DO NOTHING",
                                            {static_cast<int64_t>(client), at});
        if (Failed(created, error))
            return false;
        imported.clients += static_cast<size_t>(created.changed);
    }
    for (const auto& visit : visits) {
        CSqlResult added = connection.Run(
            "INSERT INTO client_visits(client, at, email, version) "
            "SELECT CAST($1 AS BIGINT), CAST($2 AS TEXT), CAST($3 AS TEXT), CAST($4 AS TEXT) WHERE NOT EXISTS "
            "(SELECT 1 FROM client_visits WHERE client = $1 AND at = $2 AND email = $3 AND version = $4)",
            {static_cast<int64_t>(visit.client), visit.at, visit.email, visit.version});
        if (Failed(added, error))
            return false;
        imported.visits += static_cast<size_t>(added.changed);
    }
    return true;
}

// Reports keep their numbers where those are free; the others come back in clashing.
bool ImportNumberedReports(CSqlConnection& connection, const std::vector<CServerStore::CReport>& reports,
                           CServerStore::CImported& imported, std::vector<const CServerStore::CReport*>& clashing,
                           std::string& error)
{
    for (const auto& report : reports) {
        CSqlResult existing = connection.Run(
            "SELECT kind, email, platform, summary, details, received FROM reports WHERE number = $1", {report.number});
        if (Failed(existing, error))
            return false;
        if (!existing.rows.empty()) {
            if (!SameReport(existing.rows[0], report))
                clashing.push_back(&report);
            continue;
        }
        if (Failed(connection.Run("INSERT INTO reports(number, kind, email, platform, summary, details, received) "
                                  "VALUES ($1, $2, $3, $4, $5, $6, $7)",
                                  {report.number, report.kind, report.email, report.platform, report.summary,
                                   report.details, report.received}),
                   error))
            return false;
        ++imported.reports;
    }
    return true;
}

// Numbered after the sequence has moved past every kept one; an earlier run's copy stays.
bool RenumberClashingReports(CSqlConnection& connection, const std::vector<const CServerStore::CReport*>& clashing,
                             CServerStore::CImported& imported, std::string& error)
{
    for (const CServerStore::CReport* report : clashing) {
        CSqlResult copy = connection.Run(
            "SELECT number FROM reports WHERE email = $2 AND received = $6 AND kind = $1 AND platform = $3 "
            "AND summary = $4 AND details = $5",
            {report->kind, report->email, report->platform, report->summary, report->details, report->received});
        if (Failed(copy, error))
            return false;
        if (!copy.rows.empty())
            continue;
        CSqlResult stored = connection.Run(
            "INSERT INTO reports(kind, email, platform, summary, details, received) VALUES ($1, $2, $3, $4, $5, $6) "
            "RETURNING number",
            {report->kind, report->email, report->platform, report->summary, report->details, report->received});
        if (Failed(stored, error) || stored.rows.empty())
            return false;
        imported.renumbered.emplace_back(report->number, std::stoll(stored.rows[0][0]));
        ++imported.reports;
    }
    return true;
}
}  // namespace

bool CServerStore::Import(const std::vector<CVisit>& visits, const std::vector<CReport>& reports, CImported& imported,
                          std::string& error)
{
    auto work = [&](CSqlConnection& sql, std::string& failure) {
        imported = {};
        std::vector<const CReport*> clashing;
        if (!ImportClients(sql, visits, imported, failure) ||
            !ImportNumberedReports(sql, reports, imported, clashing, failure))
            return CSqlDatabase::CWork::Failed;
        if (m_postgres) {
            // Sequences never go back, and move past every id and number just written.
            for (const char* statement :
                 {"SELECT setval('client_ids', GREATEST((SELECT COALESCE(max(id), 0) FROM clients) + 1, "
                  "nextval('client_ids')), false)",
                  "SELECT setval('report_numbers', GREATEST((SELECT COALESCE(max(number), 0) FROM reports) + 1, "
                  "nextval('report_numbers')), false)"})
                if (Failed(sql.Run(statement), failure))
                    return CSqlDatabase::CWork::Failed;
        }
        if (!RenumberClashingReports(sql, clashing, imported, failure))
            return CSqlDatabase::CWork::Failed;
        return CSqlDatabase::CWork::Commit;
    };
    return m_database->InTransaction(true, work, error);
}
