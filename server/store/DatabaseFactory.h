#pragma once

#include <memory>
#include <string>

class CSqlDatabase;

// The database a --database location names, of the kind it names.
class CDatabaseFactory
{
public:
    // "postgresql://..." or "postgres://..." for PostgreSQL; "sqlite:PATH" or a plain path for
    // an SQLite file, created when missing. Fails unless a first connection can be made.
    static std::unique_ptr<CSqlDatabase> Open(const std::string& location, std::string& error);
};
