#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CSqlConnection;
class CSqlDatabase;

// Bug reports and feature requests (reports), each under a number the database hands out.
class CReportTable
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

    explicit CReportTable(CSqlDatabase& database);

    // Stores a report under a new number, unless its address already sent quota reports in the
    // last day (quota 0: no limit).
    CAdded Add(const CReport& report, int quota);
    // The newest reports from email, newest first.
    bool ReportsOf(const std::string& email, size_t limit, std::vector<CReport>& reports, std::string& error);

    // Within an import's transaction: reports keep their numbers where those are free; the
    // others get new ones (renumbered: old number, new number), unless an earlier run stored them.
    bool Import(CSqlConnection& connection, const std::vector<CReport>& reports, size_t& added,
                std::vector<std::pair<int64_t, int64_t>>& renumbered, std::string& error);

private:
    bool ImportNumbered(CSqlConnection& connection, const std::vector<CReport>& reports, size_t& added,
                        std::vector<const CReport*>& clashing, std::string& error);
    bool Renumber(CSqlConnection& connection, const std::vector<const CReport*>& clashing, size_t& added,
                  std::vector<std::pair<int64_t, int64_t>>& renumbered, std::string& error);

    CSqlDatabase& m_database;
    bool m_postgres;
};
