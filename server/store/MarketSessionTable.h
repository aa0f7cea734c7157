#pragma once

#include <string>

class CSqlDatabase;

// The marketplace sessions handed out (market_sessions), with the look each asked for.
class CMarketSessionTable
{
public:
    explicit CMarketSessionTable(CSqlDatabase& database) : m_database(database) {}

    bool Add(const std::string& id, const std::string& look, std::string& error);

private:
    CSqlDatabase& m_database;
};
