#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

using CSqlValue = std::variant<std::string, int64_t>;

struct CSqlResult
{
    bool ok = false;
    std::string error;
    std::vector<std::vector<std::string>> rows;  // NULL reads as ""
    int64_t changed = 0;                         // rows an INSERT, UPDATE or DELETE touched
};

// True when result failed; error then says why.
inline bool Failed(const CSqlResult& result, std::string& error)
{
    if (!result.ok)
        error = result.error;
    return !result.ok;
}

// One open connection to the server's database, used by one thread at a time. Statements
// name their parameters $1, $2, ... in both dialects.
class CSqlConnection
{
public:
    virtual ~CSqlConnection() = default;

    virtual CSqlResult Run(const std::string& sql, const std::vector<CSqlValue>& parameters = {}) = 0;
    // Tables of millions of integer rows, without a statement or a result per row: COPY in
    // PostgreSQL, one prepared INSERT (or SELECT) stepped in SQLite.
    // Insert: next fills one value per column and answers false after the last row.
    virtual CSqlResult InsertIntegers(const std::string& table, const std::vector<std::string>& columns,
                                      const std::function<bool(int64_t* row)>& next) = 0;
    // Read: each gets the row's values, which must all be integers, one call per row.
    virtual CSqlResult ReadIntegers(const std::string& select, size_t columns,
                                    const std::function<void(const int64_t* row)>& each) = 0;
    // False once the connection is known to be broken; it is then closed, not reused.
    virtual bool Usable() const = 0;
};
