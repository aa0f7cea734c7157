#include "CatalogueTables.h"

#include <algorithm>
#include <unordered_map>

#include "SqlDatabase.h"

namespace
{
// Rows per INSERT for the versions; the fingerprints go in bulk.
constexpr size_t kVersionsPerInsert = 200;
// store_info's row that a load has filled the tables: their row count.
constexpr const char* kLoaded = "catalogue_fingerprints";
}  // namespace

CCatalogueTables::CCatalogueTables(CSqlDatabase& database)
    : m_postgres(database.Dialect() == CSqlDatabase::CDialect::PostgreSQL)
{
}

bool CCatalogueTables::Replace(CSqlConnection& connection, const CContent& content, std::string& error)
{
    // PostgreSQL builds the key once after the rows are in, far faster than row by row; in
    // SQLite the rows arrive in key order, so the table's b-tree only grows at its end.
    std::vector<const char*> clear =
        m_postgres ? std::vector<const char*>{"TRUNCATE catalogue_fingerprints, catalogue_versions",
                                              "ALTER TABLE catalogue_fingerprints DROP CONSTRAINT IF EXISTS "
                                              "catalogue_fingerprints_key",
                                              "SET LOCAL maintenance_work_mem = '256MB'"}
                   : std::vector<const char*>{"DELETE FROM catalogue_fingerprints", "DELETE FROM catalogue_versions"};
    for (const char* statement : clear)
        if (Failed(connection.Run(statement), error))
            return false;
    const auto& versions = content.versions;
    for (size_t first = 0; first < versions.size(); first += kVersionsPerInsert) {
        size_t count = std::min(kVersionsPerInsert, versions.size() - first);
        std::string sql = "INSERT INTO catalogue_versions(id, scid, version, sha1, sha256, class_count) VALUES ";
        std::vector<CSqlValue> values;
        for (size_t i = 0; i < count; ++i) {
            sql += i ? ", (" : "(";
            for (size_t column = 0; column < 6; ++column)
                sql += (column ? ", $" : "$") + std::to_string(values.size() + column + 1);
            sql += ")";
            const CVersion& version = versions[first + i];
            values.insert(values.end(), {static_cast<int64_t>(first + i), version.scid, version.version, version.sha1,
                                         version.sha256, version.classCount});
        }
        if (Failed(connection.Run(sql, values), error))
            return false;
    }
    size_t next = 0;
    CSqlResult loaded = connection.InsertIntegers(
        "catalogue_fingerprints", {"fingerprint", "version"}, [&](int64_t* row) {
            if (next == content.fingerprints.size())
                return false;
            // Kept as the signed 64-bit integer of the same bits: both databases' widest integer.
            row[0] = static_cast<int64_t>(content.fingerprints[next].fingerprint);
            row[1] = content.fingerprints[next].version;
            ++next;
            return true;
        });
    if (Failed(loaded, error) ||
        (m_postgres && Failed(connection.Run("ALTER TABLE catalogue_fingerprints ADD CONSTRAINT "
                                             "catalogue_fingerprints_key PRIMARY KEY (fingerprint, version)"),
                              error)))
        return false;
    return !Failed(connection.Run("INSERT INTO store_info(name, value) VALUES ($1, $2) "
                                  "ON CONFLICT (name) DO UPDATE SET value = excluded.value",
                                  {kLoaded, std::to_string(content.fingerprints.size())}),
                   error);
}

bool CCatalogueTables::Read(CSqlConnection& connection, CReceiver& receiver, bool& found, std::string& error)
{
    found = false;
    CSqlResult loaded = connection.Run("SELECT value FROM store_info WHERE name = $1", {kLoaded});
    if (Failed(loaded, error))
        return false;
    if (loaded.rows.empty())
        return true;
    CSqlResult rows =
        connection.Run("SELECT id, scid, version, sha1, sha256, class_count FROM catalogue_versions ORDER BY id");
    if (Failed(rows, error))
        return false;
    std::vector<CVersion> versions;
    std::unordered_map<int64_t, size_t> index;  // id -> place in versions
    versions.reserve(rows.rows.size());
    for (auto& row : rows.rows) {
        index.emplace(std::stoll(row[0]), versions.size());
        versions.push_back({std::move(row[1]), std::move(row[2]), std::move(row[3]), std::move(row[4]),
                            std::stoll(row[5])});
    }
    receiver.Versions(std::move(versions));
    auto each = [&](const int64_t* row) {
        auto version = index.find(row[1]);
        if (version != index.end())
            receiver.Fingerprint(static_cast<uint64_t>(row[0]), version->second);
    };
    if (Failed(connection.ReadIntegers("SELECT fingerprint, version FROM catalogue_fingerprints", 2, each), error))
        return false;
    found = true;
    return true;
}
