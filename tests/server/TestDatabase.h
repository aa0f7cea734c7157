#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "support/TestSupport.h"

enum class CDatabaseKind
{
    SQLite,
    PostgreSQL,
};

// A fresh, empty database of either kind for one test: an SQLite file in a temporary
// directory, or a new database in the test program's own PostgreSQL cluster.
class CTestDatabase
{
public:
    explicit CTestDatabase(CDatabaseKind kind);

    // What --database takes; empty when the database could not be made (see Error).
    const std::string& Location() const { return m_location; }
    const std::string& Error() const { return m_error; }

private:
    CTempDir m_dir;
    std::string m_location;
    std::string m_error;
};

const char* DatabaseKindName(CDatabaseKind kind);
inline void PrintTo(CDatabaseKind kind, std::ostream* out) { *out << DatabaseKindName(kind); }

// The rows a query answers, each column followed by "|", rows by "\n"; "(error ...)" on failure.
std::string QueryText(const std::string& location, const std::string& sql);
