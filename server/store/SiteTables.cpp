#include "SiteTables.h"

#include <algorithm>

#include "SqlDatabase.h"

namespace
{
// Rows per INSERT when a table is loaded whole.
constexpr size_t kRowsPerInsert = 300;
}  // namespace

CSiteTables::CSiteTables(CSqlDatabase& database)
    : m_database(database), m_postgres(database.Dialect() == CSqlDatabase::CDialect::PostgreSQL)
{
}

bool CSiteTables::Replace(const std::string& cataloguePath, const CContent& content, std::string& error)
{
    auto work = [&](CSqlConnection& connection, std::string& failure) {
        return Replace(connection, cataloguePath, content, failure) ? CSqlDatabase::CWork::Commit
                                                                    : CSqlDatabase::CWork::Failed;
    };
    return m_database.InTransaction(true, work, error);
}

bool CSiteTables::Replace(CSqlConnection& connection, const std::string& cataloguePath, const CContent& content,
                          std::string& failure)
{
    if (m_postgres && Failed(connection.Run("SELECT pg_advisory_xact_lock(1986, 2)"), failure))
        return false;
    if (Failed(connection.Run("DELETE FROM site_documents WHERE path = $1", {cataloguePath}), failure) ||
        Failed(connection.Run("INSERT INTO site_documents(path, content, modified) VALUES ($1, $2, $3)",
                              {cataloguePath, content.catalogue, static_cast<int64_t>(content.modified)}),
               failure) ||
        Failed(connection.Run("DELETE FROM lookup_classes"), failure))
        return false;
    for (size_t first = 0; first < content.lookup.size(); first += kRowsPerInsert) {
        size_t count = std::min(kRowsPerInsert, content.lookup.size() - first);
        std::string sql = "INSERT INTO lookup_classes(position, class_name, scid) VALUES ";
        std::vector<CSqlValue> values;
        for (size_t i = 0; i < count; ++i) {
            size_t base = values.size();
            sql += (i ? ", ($" : "($") + std::to_string(base + 1) + ", $" + std::to_string(base + 2) + ", $" +
                   std::to_string(base + 3) + ")";
            values.emplace_back(static_cast<int64_t>(first + i));
            values.emplace_back(content.lookup[first + i].first);
            values.emplace_back(content.lookup[first + i].second);
        }
        if (Failed(connection.Run(sql, values), failure))
            return false;
    }
    return true;
}

bool CSiteTables::Read(const std::string& cataloguePath, CContent& content, bool& found, std::string& error)
{
    // The catalogue and the lookup table of one load, even while another load runs.
    auto work = [&](CSqlConnection& connection, std::string& failure) {
        if (!Read(connection, cataloguePath, content, found, failure))
            return CSqlDatabase::CWork::Failed;
        return found ? CSqlDatabase::CWork::Commit : CSqlDatabase::CWork::RollBack;
    };
    return m_database.InTransaction(false, work, error);
}

bool CSiteTables::Read(CSqlConnection& connection, const std::string& cataloguePath, CContent& content, bool& found,
                       std::string& failure)
{
    found = false;
    CSqlResult document = connection.Run("SELECT content, modified FROM site_documents WHERE path = $1", {cataloguePath});
    if (Failed(document, failure))
        return false;
    if (document.rows.empty())
        return true;
    CSqlResult lookup = connection.Run("SELECT class_name, scid FROM lookup_classes ORDER BY position");
    if (Failed(lookup, failure))
        return false;
    content.catalogue = std::move(document.rows[0][0]);
    content.modified = static_cast<std::time_t>(std::stoll(document.rows[0][1]));
    content.lookup.clear();
    content.lookup.reserve(lookup.rows.size());
    for (auto& row : lookup.rows)
        content.lookup.emplace_back(std::move(row[0]), std::move(row[1]));
    found = true;
    return true;
}
