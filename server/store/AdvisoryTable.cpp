#include "AdvisoryTable.h"

#include <charconv>

#include "SqlConnection.h"

namespace
{
bool ParseGeneration(const std::string& text, int64_t& generation)
{
    const char* end = text.data() + text.size();
    auto [next, failure] = std::from_chars(text.data(), end, generation);
    return failure == std::errc() && next == end && generation >= 0;
}
}  // namespace

bool CAdvisoryTable::Generation(CSqlConnection& connection, int64_t& generation, std::string& error)
{
    CSqlResult result = connection.Run("SELECT value FROM store_info WHERE name = 'advisory_generation'");
    if (Failed(result, error))
        return false;
    generation = 0;
    if (!result.rows.empty() && !ParseGeneration(result.rows[0][0], generation)) {
        error = "the store's advisory generation \"" + result.rows[0][0] + "\" is not a number";
        return false;
    }
    return true;
}

bool CAdvisoryTable::HeldModified(CSqlConnection& connection, std::unordered_map<std::string, std::string>& held,
                                  std::string& error)
{
    CSqlResult result = connection.Run("SELECT id, modified FROM advisories");
    if (Failed(result, error))
        return false;
    held.clear();
    held.reserve(result.rows.size());
    for (auto& row : result.rows)
        held.emplace(std::move(row[0]), std::move(row[1]));
    return true;
}

bool CAdvisoryTable::NextGeneration(CSqlConnection& connection, int64_t& generation, std::string& error)
{
    if (!Generation(connection, generation, error))
        return false;
    ++generation;
    return !Failed(connection.Run("INSERT INTO store_info(name, value) VALUES ('advisory_generation', $1) "
                                  "ON CONFLICT (name) DO UPDATE SET value = excluded.value",
                                  {std::to_string(generation)}),
                   error);
}

bool CAdvisoryTable::Put(CSqlConnection& connection, const CRow& row, int64_t generation, std::string& error)
{
    return !Failed(connection.Run("INSERT INTO advisories(id, modified, generation, record) VALUES ($1, $2, $3, $4) "
                                  "ON CONFLICT (id) DO UPDATE SET modified = excluded.modified, "
                                  "generation = excluded.generation, record = excluded.record",
                                  {row.id, row.modified, generation, row.record}),
                   error);
}

bool CAdvisoryTable::ReadSince(CSqlConnection& connection, int64_t after, const std::function<void(CRow)>& each,
                               int64_t& generation, std::string& error)
{
    if (!Generation(connection, generation, error))
        return false;
    if (generation <= after)
        return true;
    CSqlResult result = connection.Run(
        "SELECT id, modified, record FROM advisories WHERE generation > $1 ORDER BY generation, id", {after});
    if (Failed(result, error))
        return false;
    for (auto& row : result.rows)
        each(CRow{std::move(row[0]), std::move(row[1]), std::move(row[2])});
    return true;
}
