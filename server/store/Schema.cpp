#include "Schema.h"

#include "SqlDatabase.h"

namespace
{
constexpr uint64_t kFirstClientId = 100001;
constexpr const char* kVersionTable =
    "CREATE TABLE IF NOT EXISTS store_info(name TEXT PRIMARY KEY, value TEXT NOT NULL)";

// Client ids, reports, marketplace sessions, the catalogue and the lookup table. Ids come from
// AUTOINCREMENT in SQLite and from sequences in PostgreSQL, so an id is never handed out twice,
// even after a delete.
std::vector<std::string> FirstTables(bool postgres)
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
        schema = {"CREATE SEQUENCE IF NOT EXISTS client_ids START " + std::to_string(kFirstClientId),
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
    return schema;
}

// Every catalogued version and the fingerprints of its classes (CCatalogueTables). The
// fingerprints' key is the table itself in SQLite (no row ids beside it); no foreign key, so
// that tens of millions of rows go in without a check each: one load writes both tables.
std::vector<std::string> CatalogueTables(bool postgres)
{
    std::string versions = "CREATE TABLE IF NOT EXISTS catalogue_versions(id INTEGER PRIMARY KEY, scid TEXT NOT NULL, "
                           "version TEXT NOT NULL, sha1 TEXT NOT NULL, sha256 TEXT NOT NULL, class_count " +
                           std::string(postgres ? "BIGINT" : "INTEGER") + " NOT NULL, UNIQUE (scid, version))";
    if (postgres)
        return {versions, "CREATE TABLE IF NOT EXISTS catalogue_fingerprints(fingerprint BIGINT NOT NULL, version "
                          "INTEGER NOT NULL, CONSTRAINT catalogue_fingerprints_key PRIMARY KEY (fingerprint, version))"};
    return {versions, "CREATE TABLE IF NOT EXISTS catalogue_fingerprints(fingerprint INTEGER NOT NULL, version INTEGER "
                      "NOT NULL, PRIMARY KEY (fingerprint, version)) WITHOUT ROWID"};
}

// The known vulnerabilities (CAdvisoryTable): the newest copy of each record, stamped with the
// generation of the load that brought it; the generation itself is a row of store_info.
std::vector<std::string> AdvisoryTables(bool postgres)
{
    std::string generation = postgres ? "BIGINT" : "INTEGER";
    return {"CREATE TABLE IF NOT EXISTS advisories(id TEXT PRIMARY KEY, modified TEXT NOT NULL, generation " +
                generation + " NOT NULL, record TEXT NOT NULL)",
            "CREATE INDEX IF NOT EXISTS advisories_generation ON advisories(generation)"};
}

// A version as store_info holds it; false for anything else.
bool ParseVersion(const std::string& text, size_t& version)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    version = std::stoul(text);
    return true;
}
}  // namespace

CSchema CSchema::Store()
{
    // Each step: its SQLite statements, then its PostgreSQL statements. A new one goes last.
    return CSchema({
        {FirstTables(false), FirstTables(true)},
        {CatalogueTables(false), CatalogueTables(true)},
        {AdvisoryTables(false), AdvisoryTables(true)},
    });
}

CSchema CSchema::Then(CStep step) const
{
    CSchema later = *this;
    later.m_steps.push_back(std::move(step));
    return later;
}

bool CSchema::Upgrade(CSqlDatabase& database, size_t& applied, std::string& error) const
{
    bool postgres = database.Dialect() == CSqlDatabase::CDialect::PostgreSQL;
    auto work = [&](CSqlConnection& connection, std::string& failure) {
        applied = 0;
        // Servers starting together take turns here (SQLite: the write transaction's lock), and
        // the later ones find the steps applied.
        if ((postgres && Failed(connection.Run("SELECT pg_advisory_xact_lock(1986, 1)"), failure)) ||
            Failed(connection.Run(kVersionTable), failure))
            return CSqlDatabase::CWork::Failed;
        CSqlResult row = connection.Run("SELECT value FROM store_info WHERE name = 'schema'");
        if (Failed(row, failure))
            return CSqlDatabase::CWork::Failed;
        size_t version = 0;
        if (!row.rows.empty() && (!ParseVersion(row.rows[0][0], version) || version > m_steps.size())) {
            failure = "was written by another version of vantrel-server (tables version " + row.rows[0][0] +
                      ", this one knows up to " + std::to_string(m_steps.size()) + ")";
            return CSqlDatabase::CWork::Failed;
        }
        if (version == m_steps.size())
            return CSqlDatabase::CWork::RollBack;
        for (size_t step = version; step < m_steps.size(); ++step) {
            for (const auto& statement : postgres ? m_steps[step].postgres : m_steps[step].sqlite) {
                if (Failed(connection.Run(statement), failure)) {
                    failure = "cannot bring the tables to version " + std::to_string(step + 1) + ": " + failure;
                    return CSqlDatabase::CWork::Failed;
                }
            }
        }
        if (Failed(connection.Run("INSERT INTO store_info(name, value) VALUES ('schema', $1) "
                                  "ON CONFLICT (name) DO UPDATE SET value = excluded.value",
                                  {std::to_string(m_steps.size())}),
                   failure))
            return CSqlDatabase::CWork::Failed;
        applied = m_steps.size() - version;
        return CSqlDatabase::CWork::Commit;
    };
    return database.InTransaction(true, work, error);
}
