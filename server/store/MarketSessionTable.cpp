#include "MarketSessionTable.h"

#include <ctime>

#include "SqlDatabase.h"

bool CMarketSessionTable::Add(const std::string& id, const std::string& look, std::string& error)
{
    // Safe to run again after a broken connection: a session already stored fails by its key.
    return !Failed(m_database.Run("INSERT INTO market_sessions(id, created, look) VALUES ($1, $2, $3)",
                                  {id, CSqlDatabase::UtcText(std::time(nullptr)), look}),
                   error);
}
