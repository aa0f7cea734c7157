#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CSqlDatabase;

// Everything the server writes (client ids, reports, marketplace sessions) and the site
// tables it reads (the catalogue and the lookup table), in one database that several servers
// may share: ids and numbers come from the database, so no two servers hand out the same.
class CServerStore
{
public:
    struct CReport
    {
        int64_t number = 0;
        std::string kind;  // "bug" or "feature"
        std::string email;
        std::string platform;
        std::string summary;
        std::string details;
        std::string received;  // UTC, "2024-05-01T12:00:00Z"
    };

    enum class CAddOutcome
    {
        Stored,
        OverQuota,
        Failed,
    };

    struct CAdded
    {
        CAddOutcome outcome = CAddOutcome::Failed;
        int64_t number = 0;
        std::string error;
    };

    // One registration of a client, as the client-id page saw it.
    struct CVisit
    {
        uint64_t client = 0;
        std::string at;
        std::string email;
        std::string version;
    };

    struct CSiteTables
    {
        std::string catalogue;
        std::time_t modified = 0;                                 // when the catalogue last changed
        std::vector<std::pair<std::string, std::string>> lookup;  // class name, SCID, in table order
    };

    struct CImported
    {
        size_t clients = 0;  // ids new to the store
        size_t visits = 0;
        size_t reports = 0;
        std::vector<std::pair<int64_t, int64_t>> renumbered;  // old number, new number
    };

    // Opens the database (see CSqlDatabase::Open) and creates its tables the first time.
    static std::unique_ptr<CServerStore> Open(const std::string& location, std::string& error);

    explicit CServerStore(std::unique_ptr<CSqlDatabase> database);
    ~CServerStore();
    CServerStore(const CServerStore&) = delete;
    CServerStore& operator=(const CServerStore&) = delete;

    std::string Describe() const;
    // One line on standard error for the operator: the page the client saw says less.
    void LogFailure(const std::string& what, const std::string& error) const;

    // presented: the id the client sent, 0 for none. Answers presented when this store issued
    // it, otherwise a new id; 0 when the database failed.
    uint64_t RegisterClient(uint64_t presented, const std::string& email, const std::string& version,
                            std::string& error);

    // Stores a report under a new number, unless its address already sent quota reports in the
    // last day (quota 0: no limit).
    CAdded AddReport(const CReport& report, int quota);
    // The newest reports from email, newest first.
    bool ReportsOf(const std::string& email, size_t limit, std::vector<CReport>& reports, std::string& error);

    bool AddMarketSession(const std::string& id, const std::string& look, std::string& error);

    // cataloguePath: the catalogue's path in the site, its key in the store. Replaces the
    // catalogue and the lookup table in one step.
    bool ReplaceSiteTables(const std::string& cataloguePath, const CSiteTables& tables, std::string& error);
    // found is false when no site tables were ever loaded.
    bool ReadSiteTables(const std::string& cataloguePath, CSiteTables& tables, bool& found, std::string& error);

    // State written before the store existed: ids and numbers are kept; a report whose number
    // the store already gives to another report gets a new one. Running it again adds nothing.
    bool Import(const std::vector<CVisit>& visits, const std::vector<CReport>& reports, CImported& imported,
                std::string& error);

    // "2024-05-01T12:00:00Z".
    static std::string UtcText(std::time_t time);

private:
    bool CreateTables(std::string& error);

    std::unique_ptr<CSqlDatabase> m_database;
    bool m_postgres;
};
