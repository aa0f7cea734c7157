#include "ReportTable.h"

#include <ctime>

#include "SqlDatabase.h"

namespace
{
constexpr std::time_t kQuotaWindow = 24 * 60 * 60;

bool SameReport(const std::vector<std::string>& row, const CReportTable::CReport& report)
{
    return row == std::vector<std::string>{report.kind,    report.email,   report.platform,
                                           report.summary, report.details, report.received};
}
}  // namespace

CReportTable::CReportTable(CSqlDatabase& database)
    : m_database(database), m_postgres(database.Dialect() == CSqlDatabase::CDialect::PostgreSQL)
{
}

CReportTable::CAdded CReportTable::Add(const CReport& report, int quota)
{
    CAdded added;
    std::time_t now = std::time(nullptr);
    auto work = [&](CSqlConnection& connection, std::string& failure) {
        added.outcome = CAddOutcome::Failed;
        if (quota > 0) {
            // Two servers counting the same address at once would both find room: one waits.
            if (m_postgres &&
                Failed(connection.Run("SELECT pg_advisory_xact_lock(hashtextextended($1, 0))", {report.email}),
                       failure))
                return CSqlDatabase::CWork::Failed;
            CSqlResult sent = connection.Run("SELECT count(*) FROM reports WHERE email = $1 AND received >= $2",
                                             {report.email, CSqlDatabase::UtcText(now - kQuotaWindow)});
            if (Failed(sent, failure) || sent.rows.empty())
                return CSqlDatabase::CWork::Failed;
            if (std::stoll(sent.rows[0][0]) >= quota) {
                added.outcome = CAddOutcome::OverQuota;
                return CSqlDatabase::CWork::RollBack;
            }
        }
        CSqlResult stored = connection.Run(
            "INSERT INTO reports(kind, email, platform, summary, details, received) VALUES ($1, $2, $3, $4, $5, $6) "
            "RETURNING number",
            {report.kind, report.email, report.platform, report.summary, report.details, CSqlDatabase::UtcText(now)});
        if (Failed(stored, failure) || stored.rows.empty())
            return CSqlDatabase::CWork::Failed;
        added.outcome = CAddOutcome::Stored;
        added.number = std::stoll(stored.rows[0][0]);
        return CSqlDatabase::CWork::Commit;
    };
    if (!m_database.InTransaction(true, work, added.error))
        added.outcome = CAddOutcome::Failed;
    return added;
}

bool CReportTable::ReportsOf(const std::string& email, size_t limit, std::vector<CReport>& reports, std::string& error)
{
    CSqlResult found = m_database.Run("SELECT number, kind, email, platform, summary, details, received FROM reports "
                                      "WHERE email = $1 ORDER BY received DESC, number DESC LIMIT $2",
                                      {email, static_cast<int64_t>(limit)});
    if (Failed(found, error))
        return false;
    reports.clear();
    for (auto& row : found.rows)
        reports.push_back({std::stoll(row[0]), std::move(row[1]), std::move(row[2]), std::move(row[3]),
                           std::move(row[4]), std::move(row[5]), std::move(row[6])});
    return true;
}

bool CReportTable::Import(CSqlConnection& connection, const std::vector<CReport>& reports, size_t& added,
                          std::vector<std::pair<int64_t, int64_t>>& renumbered, std::string& error)
{
    std::vector<const CReport*> clashing;
    if (!ImportNumbered(connection, reports, added, clashing, error))
        return false;
    // The sequence never goes back, and moves past every number just written.
    if (m_postgres &&
        Failed(connection.Run("SELECT setval('report_numbers', GREATEST((SELECT COALESCE(max(number), 0) FROM reports) "
                              "+ 1, nextval('report_numbers')), false)"),
               error))
        return false;
    return Renumber(connection, clashing, added, renumbered, error);
}

bool CReportTable::ImportNumbered(CSqlConnection& connection, const std::vector<CReport>& reports, size_t& added,
                                  std::vector<const CReport*>& clashing, std::string& error)
{
    for (const auto& report : reports) {
        CSqlResult existing = connection.Run(
            "SELECT kind, email, platform, summary, details, received FROM reports WHERE number = $1", {report.number});
        if (Failed(existing, error))
            return false;
        if (!existing.rows.empty()) {
            if (!SameReport(existing.rows[0], report))
                clashing.push_back(&report);
            continue;
        }
        if (Failed(connection.Run("INSERT INTO reports(number, kind, email, platform, summary, details, received) "
                                  "VALUES ($1, $2, $3, $4, $5, $6, $7)",
                                  {report.number, report.kind, report.email, report.platform, report.summary,
                                   report.details, report.received}),
                   error))
            return false;
        ++added;
    }
    return true;
}

// Numbered after the sequence has moved past every kept one; an earlier run's copy stays.
bool CReportTable::Renumber(CSqlConnection& connection, const std::vector<const CReport*>& clashing, size_t& added,
                            std::vector<std::pair<int64_t, int64_t>>& renumbered, std::string& error)
{
    for (const CReport* report : clashing) {
        CSqlResult copy = connection.Run(
            "SELECT number FROM reports WHERE email = $2 AND received = $6 AND kind = $1 AND platform = $3 "
            "AND summary = $4 AND details = $5",
            {report->kind, report->email, report->platform, report->summary, report->details, report->received});
        if (Failed(copy, error))
            return false;
        if (!copy.rows.empty())
            continue;
        CSqlResult stored = connection.Run(
            "INSERT INTO reports(kind, email, platform, summary, details, received) VALUES ($1, $2, $3, $4, $5, $6) "
            "RETURNING number",
            {report->kind, report->email, report->platform, report->summary, report->details, report->received});
        if (Failed(stored, error) || stored.rows.empty())
            return false;
        renumbered.emplace_back(report->number, std::stoll(stored.rows[0][0]));
        ++added;
    }
    return true;
}
