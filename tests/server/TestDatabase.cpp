#include "TestDatabase.h"

#include "DatabaseFactory.h"
#include "SqlDatabase.h"
#include "support/PostgresCluster.h"

CTestDatabase::CTestDatabase(CDatabaseKind kind)
{
    if (kind == CDatabaseKind::SQLite)
        m_location = m_dir.File("vantrel.db");
    else
        m_location = CPostgresCluster::Shared().CreateDatabase(m_error);
}

const char* DatabaseKindName(CDatabaseKind kind) { return kind == CDatabaseKind::SQLite ? "SQLite" : "PostgreSQL"; }

std::string QueryText(const std::string& location, const std::string& sql)
{
    std::string error;
    auto database = CDatabaseFactory::Open(location, error);
    auto connection = database ? database->Acquire(error) : CSqlDatabase::CLease();
    if (!connection)
        return "(error " + error + ")";
    CSqlResult result = connection->Run(sql);
    if (!result.ok)
        return "(error " + result.error + ")";
    std::string text;
    for (const auto& row : result.rows) {
        text += text.empty() ? "" : "\n";
        for (const auto& column : row)
            text += column + "|";
    }
    return text;
}
