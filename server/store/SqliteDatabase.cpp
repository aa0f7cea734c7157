#include "SqliteDatabase.h"

#include <unordered_map>

#include <fcntl.h>
#include <unistd.h>

#include <sqlite3.h>

namespace
{
// How long a writer waits for another writer (another thread or server) before failing.
constexpr int kBusyMilliseconds = 15000;
// Statements prepared once per connection and kept; the rest are prepared for one use.
constexpr size_t kKeptStatements = 64;

// A statement prepared for one use, finalized when it goes.
class CStatement
{
public:
    CStatement(sqlite3* db, const std::string& sql, CSqlResult& result)
    {
        if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &m_statement, nullptr) != SQLITE_OK ||
            !m_statement)
            result.error = sqlite3_errmsg(db);
    }
    ~CStatement() { sqlite3_finalize(m_statement); }
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;

    explicit operator bool() const { return m_statement != nullptr; }
    operator sqlite3_stmt*() const { return m_statement; }

private:
    sqlite3_stmt* m_statement = nullptr;
};

class CSqliteConnection : public CSqlConnection
{
public:
    explicit CSqliteConnection(sqlite3* db) : m_db(db) {}
    ~CSqliteConnection() override
    {
        for (auto& [sql, statement] : m_statements)
            sqlite3_finalize(statement);
        sqlite3_close_v2(m_db);
    }

    CSqlResult Run(const std::string& sql, const std::vector<CSqlValue>& parameters) override
    {
        CSqlResult result;
        sqlite3_stmt* statement = nullptr;
        auto kept = m_statements.find(sql);
        if (kept != m_statements.end()) {
            statement = kept->second;
        } else if (sqlite3_prepare_v2(m_db, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) !=
                       SQLITE_OK ||
                   !statement) {
            result.error = sqlite3_errmsg(m_db);
            return result;
        }
        for (size_t i = 0; i < parameters.size(); ++i) {
            std::string name = "$" + std::to_string(i + 1);
            int index = sqlite3_bind_parameter_index(statement, name.c_str());
            if (index == 0)
                continue;
            if (const auto* text = std::get_if<std::string>(&parameters[i]))
                sqlite3_bind_text(statement, index, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
            else
                sqlite3_bind_int64(statement, index, std::get<int64_t>(parameters[i]));
        }
        int step;
        while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
            auto& row = result.rows.emplace_back();
            for (int column = 0; column < sqlite3_column_count(statement); ++column) {
                const auto* text = sqlite3_column_text(statement, column);
                row.emplace_back(text ? reinterpret_cast<const char*>(text) : "",
                                 static_cast<size_t>(sqlite3_column_bytes(statement, column)));
            }
        }
        result.ok = step == SQLITE_DONE;
        if (!result.ok)
            result.error = sqlite3_errmsg(m_db);
        else if (!sqlite3_stmt_readonly(statement))
            result.changed = sqlite3_changes64(m_db);
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        if (kept == m_statements.end()) {
            if (m_statements.size() < kKeptStatements)
                m_statements.emplace(sql, statement);
            else
                sqlite3_finalize(statement);
        }
        return result;
    }

    CSqlResult InsertIntegers(const std::string& table, const std::vector<std::string>& columns,
                              const std::function<bool(int64_t* row)>& next) override
    {
        std::string sql = "INSERT INTO " + table + "(", values;
        for (size_t i = 0; i < columns.size(); ++i) {
            sql += (i ? ", " : "") + columns[i];
            values += (i ? ", ?" : "?") + std::to_string(i + 1);
        }
        sql += ") VALUES (" + values + ")";
        CSqlResult result;
        CStatement statement(m_db, sql, result);
        if (!statement)
            return result;
        std::vector<int64_t> row(columns.size());
        result.ok = true;
        while (next(row.data())) {
            for (size_t i = 0; i < row.size(); ++i)
                sqlite3_bind_int64(statement, static_cast<int>(i + 1), row[i]);
            if (sqlite3_step(statement) != SQLITE_DONE) {
                result.ok = false;
                result.error = sqlite3_errmsg(m_db);
                break;
            }
            sqlite3_reset(statement);
            ++result.changed;
        }
        return result;
    }

    CSqlResult ReadIntegers(const std::string& select, size_t columns,
                            const std::function<void(const int64_t* row)>& each) override
    {
        CSqlResult result;
        CStatement statement(m_db, select, result);
        if (!statement)
            return result;
        if (static_cast<size_t>(sqlite3_column_count(statement)) != columns) {
            result.error = "the query answers " + std::to_string(sqlite3_column_count(statement)) + " columns, not " +
                           std::to_string(columns);
            return result;
        }
        std::vector<int64_t> row(columns);
        int step;
        while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
            for (size_t i = 0; i < columns; ++i) {
                if (sqlite3_column_type(statement, static_cast<int>(i)) != SQLITE_INTEGER) {
                    result.error = "a value that is not an integer in column " + std::to_string(i + 1);
                    return result;
                }
                row[i] = sqlite3_column_int64(statement, static_cast<int>(i));
            }
            each(row.data());
        }
        result.ok = step == SQLITE_DONE;
        if (!result.ok)
            result.error = sqlite3_errmsg(m_db);
        return result;
    }

    bool Usable() const override { return true; }

private:
    sqlite3* m_db;
    std::unordered_map<std::string, sqlite3_stmt*> m_statements;
};
}  // namespace

CSqliteDatabase::CSqliteDatabase(std::string path) : m_path(std::move(path)) {}

std::unique_ptr<CSqlDatabase> CSqliteDatabase::Open(const std::string& path, std::string& error)
{
    // Created here, not by SQLite, so that it (and its -wal and -shm files) is the owner's alone.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot create the SQLite database " + path;
        return nullptr;
    }
    ::close(fd);
    return std::unique_ptr<CSqlDatabase>(new CSqliteDatabase(path));
}

std::unique_ptr<CSqlConnection> CSqliteDatabase::Connect(std::string& error)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(m_path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        error = Describe() + ": " + (db ? sqlite3_errmsg(db) : "cannot open");
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyMilliseconds);
    auto connection = std::make_unique<CSqliteConnection>(db);
    // FULL: a committed id or report survives a power cut, as the files' fsync did.
    CSqlResult wal = connection->Run("PRAGMA journal_mode=WAL", {});
    if (!wal.ok || wal.rows.empty() || wal.rows[0].empty() || wal.rows[0][0] != "wal") {
        error = Describe() + ": cannot use write-ahead logging" + (wal.ok ? std::string() : ": " + wal.error);
        return nullptr;
    }
    for (const char* pragma : {"PRAGMA synchronous=FULL", "PRAGMA foreign_keys=ON"}) {
        CSqlResult set = connection->Run(pragma, {});
        if (!set.ok) {
            error = Describe() + ": " + set.error;
            return nullptr;
        }
    }
    return connection;
}
