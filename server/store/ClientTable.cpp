#include "ClientTable.h"

#include <ctime>
#include <map>

#include "SqlDatabase.h"

CClientTable::CClientTable(CSqlDatabase& database)
    : m_database(database), m_postgres(database.Dialect() == CSqlDatabase::CDialect::PostgreSQL)
{
}

uint64_t CClientTable::Register(uint64_t presented, const std::string& email, const std::string& version,
                                std::string& error)
{
    uint64_t id = 0;
    std::string now = CSqlDatabase::UtcText(std::time(nullptr));
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
    return m_database.InTransaction(true, work, error) ? id : 0;
}

bool CClientTable::Import(CSqlConnection& connection, const std::vector<CVisit>& visits, size_t& clients, size_t& added,
                          std::string& error)
{
    std::map<uint64_t, std::string> firstSeen;
    for (const auto& visit : visits) {
        auto [entry, isNew] = firstSeen.emplace(visit.client, visit.at);
        if (!isNew && visit.at < entry->second)
            entry->second = visit.at;
    }
    for (const auto& [client, at] : firstSeen) {
        CSqlResult created = connection.Run("INSERT INTO clients(id, registered) VALUES ($1, $2) "
                                            "ON CONFLICT (id) DO NOTHING",
                                            {static_cast<int64_t>(client), at});
        if (Failed(created, error))
            return false;
        clients += static_cast<size_t>(created.changed);
    }
    for (const auto& visit : visits) {
        CSqlResult stored = connection.Run(
            "INSERT INTO client_visits(client, at, email, version) "
            "SELECT CAST($1 AS BIGINT), CAST($2 AS TEXT), CAST($3 AS TEXT), CAST($4 AS TEXT) WHERE NOT EXISTS "
            "(SELECT 1 FROM client_visits WHERE client = $1 AND at = $2 AND email = $3 AND version = $4)",
            {static_cast<int64_t>(visit.client), visit.at, visit.email, visit.version});
        if (Failed(stored, error))
            return false;
        added += static_cast<size_t>(stored.changed);
    }
    // A sequence never goes back, and moves past every id just written (AUTOINCREMENT does so itself).
    return !m_postgres ||
           !Failed(connection.Run("SELECT setval('client_ids', GREATEST((SELECT COALESCE(max(id), 0) FROM clients) + "
                                  "1, nextval('client_ids')), false)"),
                   error);
}
