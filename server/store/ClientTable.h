#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CSqlConnection;
class CSqlDatabase;

// Client ids and every registration that presented one (clients, client_visits).
class CClientTable
{
public:
    // One registration of a client, as the client-id page saw it.
    struct CVisit
    {
        uint64_t client = 0;
        std::string at;
        std::string email;
        std::string version;
    };

    explicit CClientTable(CSqlDatabase& database);

    // presented: the id the client sent, 0 for none. Answers presented when this store issued
    // it, otherwise a new id; 0 when the database failed.
    uint64_t Register(uint64_t presented, const std::string& email, const std::string& version, std::string& error);

    // Within an import's transaction: every client with its first visit, then the visits not
    // there yet; new ids are never below the imported ones.
    bool Import(CSqlConnection& connection, const std::vector<CVisit>& visits, size_t& clients, size_t& added,
                std::string& error);

private:
    CSqlDatabase& m_database;
    bool m_postgres;
};
