#include "PostgresDatabase.h"

#include <charconv>
#include <cstdlib>

#include <libpq-fe.h>

namespace
{
// Rows sent to COPY in pieces of about this size.
constexpr size_t kCopyChunk = 256 * 1024;

void IgnoreNotice(void*, const char*) {}

std::string Trimmed(const char* message)
{
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

class CPostgresConnection : public CSqlConnection
{
public:
    explicit CPostgresConnection(PGconn* connection) : m_connection(connection) {}
    ~CPostgresConnection() override { PQfinish(m_connection); }

    CSqlResult Run(const std::string& sql, const std::vector<CSqlValue>& parameters) override
    {
        std::vector<std::string> texts;
        texts.reserve(parameters.size());
        for (const auto& parameter : parameters) {
            if (const auto* text = std::get_if<std::string>(&parameter))
                texts.push_back(*text);
            else
                texts.push_back(std::to_string(std::get<int64_t>(parameter)));
        }
        std::vector<const char*> values;
        for (const auto& text : texts)
            values.push_back(text.c_str());
        PGresult* answer = PQexecParams(m_connection, sql.c_str(), static_cast<int>(values.size()), nullptr,
                                        values.data(), nullptr, nullptr, 0);
        CSqlResult result;
        ExecStatusType status = PQresultStatus(answer);
        result.ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
        if (!result.ok) {
            result.error = Trimmed(answer ? PQresultErrorMessage(answer) : PQerrorMessage(m_connection));
        } else {
            int rows = PQntuples(answer);
            int columns = PQnfields(answer);
            result.rows.resize(static_cast<size_t>(rows));
            for (int row = 0; row < rows; ++row)
                for (int column = 0; column < columns; ++column)
                    result.rows[static_cast<size_t>(row)].emplace_back(
                        PQgetvalue(answer, row, column), static_cast<size_t>(PQgetlength(answer, row, column)));
            result.changed = std::atoll(PQcmdTuples(answer));
        }
        PQclear(answer);
        return result;
    }

    CSqlResult InsertIntegers(const std::string& table, const std::vector<std::string>& columns,
                              const std::function<bool(int64_t* row)>& next) override
    {
        std::string sql = "COPY " + table + "(";
        for (size_t i = 0; i < columns.size(); ++i)
            sql += (i ? ", " : "") + columns[i];
        CSqlResult result;
        if (!StartCopy(sql + ") FROM STDIN", PGRES_COPY_IN, result))
            return result;
        std::vector<int64_t> row(columns.size());
        std::string buffer;
        buffer.reserve(kCopyChunk + 32 * columns.size());
        bool sent = true;
        int64_t rows = 0;
        while (sent && next(row.data())) {
            for (size_t i = 0; i < row.size(); ++i) {
                char digits[24];
                auto end = std::to_chars(digits, digits + sizeof digits, row[i]).ptr;
                buffer.append(digits, end).push_back(i + 1 < row.size() ? '\t' : '\n');
            }
            ++rows;
            if (buffer.size() >= kCopyChunk) {
                sent = PQputCopyData(m_connection, buffer.data(), static_cast<int>(buffer.size())) == 1;
                buffer.clear();
            }
        }
        if (sent && !buffer.empty())
            sent = PQputCopyData(m_connection, buffer.data(), static_cast<int>(buffer.size())) == 1;
        PQputCopyEnd(m_connection, sent ? nullptr : "the rows could not all be sent");
        FinishCopy(result);
        if (result.ok)
            result.changed = rows;
        return result;
    }

    CSqlResult ReadIntegers(const std::string& select, size_t columns,
                            const std::function<void(const int64_t* row)>& each) override
    {
        CSqlResult result;
        if (!StartCopy("COPY (" + select + ") TO STDOUT", PGRES_COPY_OUT, result))
            return result;
        std::vector<int64_t> row(columns);
        std::string failure;
        char* line = nullptr;
        int length;
        // One call per row; the rows that follow a bad one are still taken, so the connection
        // stays usable.
        while ((length = PQgetCopyData(m_connection, &line, 0)) > 0) {
            if (failure.empty() && !ParseRow(line, line + length, row))
                failure = "a row that is not " + std::to_string(columns) + " integers";
            else if (failure.empty())
                each(row.data());
            PQfreemem(line);
        }
        FinishCopy(result);
        if (result.ok && !failure.empty()) {
            result.ok = false;
            result.error = failure;
        }
        return result;
    }

    bool Usable() const override { return PQstatus(m_connection) == CONNECTION_OK; }

private:
    bool StartCopy(const std::string& sql, ExecStatusType expected, CSqlResult& result)
    {
        PGresult* answer = PQexec(m_connection, sql.c_str());
        bool started = PQresultStatus(answer) == expected;
        if (!started)
            result.error = Trimmed(answer ? PQresultErrorMessage(answer) : PQerrorMessage(m_connection));
        PQclear(answer);
        return started;
    }

    // The outcome of a COPY, once the server has said it.
    void FinishCopy(CSqlResult& result)
    {
        result.ok = true;
        while (PGresult* answer = PQgetResult(m_connection)) {
            if (PQresultStatus(answer) != PGRES_COMMAND_OK && result.ok) {
                result.ok = false;
                result.error = Trimmed(PQresultErrorMessage(answer));
            }
            PQclear(answer);
        }
        if (result.ok && !Usable()) {
            result.ok = false;
            result.error = Trimmed(PQerrorMessage(m_connection));
        }
    }

    // "1\t-2\n" in COPY's text form; NULL ("\N") or anything else is no row of integers.
    static bool ParseRow(const char* at, const char* end, std::vector<int64_t>& row)
    {
        if (end > at && end[-1] == '\n')
            --end;
        for (size_t i = 0; i < row.size(); ++i) {
            auto [next, problem] = std::from_chars(at, end, row[i]);
            if (problem != std::errc() || (i + 1 < row.size() ? next == end || *next != '\t' : next != end))
                return false;
            at = next + 1;
        }
        return true;
    }

    PGconn* m_connection;
};

// "user@host:port/database" from a connection URI, so that messages never show a password.
std::string Shown(const std::string& url)
{
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(url.c_str(), &message);
    if (!options) {
        PQfreemem(message);
        return "(malformed address)";
    }
    std::string user, host, port, database;
    for (PQconninfoOption* option = options; option->keyword; ++option) {
        std::string keyword = option->keyword;
        std::string value = option->val ? option->val : "";
        if (keyword == "user")
            user = value;
        else if (keyword == "host" || (keyword == "hostaddr" && host.empty()))
            host = value;
        else if (keyword == "port")
            port = value;
        else if (keyword == "dbname")
            database = value;
    }
    PQconninfoFree(options);
    return (user.empty() ? "" : user + "@") + (host.empty() ? "localhost" : host) + (port.empty() ? "" : ":" + port) +
           "/" + database;
}
}  // namespace

CPostgresDatabase::CPostgresDatabase(std::string url, std::string shown)
    : m_url(std::move(url)), m_shown(std::move(shown))
{
}

std::unique_ptr<CSqlDatabase> CPostgresDatabase::Open(const std::string& url, std::string& error)
{
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(url.c_str(), &message);
    if (!options) {
        error = "malformed PostgreSQL address: " + Trimmed(message);
        PQfreemem(message);
        return nullptr;
    }
    PQconninfoFree(options);
    return std::unique_ptr<CSqlDatabase>(new CPostgresDatabase(url, Shown(url)));
}

std::unique_ptr<CSqlConnection> CPostgresDatabase::Connect(std::string& error)
{
    PGconn* connection = PQconnectdb(m_url.c_str());
    if (PQstatus(connection) != CONNECTION_OK) {
        error = Describe() + ": " + Trimmed(PQerrorMessage(connection));
        PQfinish(connection);
        return nullptr;
    }
    PQsetNoticeProcessor(connection, IgnoreNotice, nullptr);
    if (PQsetClientEncoding(connection, "UTF8") != 0) {
        error = Describe() + ": cannot talk UTF-8";
        PQfinish(connection);
        return nullptr;
    }
    return std::make_unique<CPostgresConnection>(connection);
}
