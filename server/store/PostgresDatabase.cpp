#include "PostgresDatabase.h"

#include <cstdlib>

#include <libpq-fe.h>

namespace
{
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

    bool Usable() const override { return PQstatus(m_connection) == CONNECTION_OK; }

private:
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
