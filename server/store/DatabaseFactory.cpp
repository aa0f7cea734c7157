#include "DatabaseFactory.h"

#include "PostgresDatabase.h"
#include "SqliteDatabase.h"

namespace
{
bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }
}  // namespace

std::unique_ptr<CSqlDatabase> CDatabaseFactory::Open(const std::string& location, std::string& error)
{
    std::unique_ptr<CSqlDatabase> database;
    if (StartsWith(location, "postgresql://") || StartsWith(location, "postgres://")) {
        database = CPostgresDatabase::Open(location, error);
    } else {
        std::string path = StartsWith(location, "sqlite:") ? location.substr(7) : location;
        if (path.empty() || path.find("://") != std::string::npos) {
            error = "unknown database \"" + location + "\" (expected postgresql://... or the path of an SQLite file)";
            return nullptr;
        }
        database = CSqliteDatabase::Open(path, error);
    }
    // The first connection proves the database is there and usable: a server that cannot
    // use it says so at start, not at the first request.
    if (database && !database->Acquire(error))
        return nullptr;
    return database;
}
