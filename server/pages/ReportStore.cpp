#include "ReportStore.h"

#include "CleanText.h"

namespace
{
// Text as the pages will show it: cut to the longest field, never invalid UTF-8.
std::string Field(const std::map<std::string, std::string>& fields, const std::string& name)
{
    auto found = fields.find(name);
    return found == fields.end() ? std::string()
                                 : CleanText(found->second.substr(0, CReportStore::kMaxField));
}
}  // namespace

CReportTable::CAdded CReportStore::Store(const std::string& kind, const std::map<std::string, std::string>& fields)
{
    CReportTable::CReport report;
    report.kind = kind;
    report.email = Field(fields, "email");
    report.platform = Field(fields, "platform");
    report.summary = Field(fields, "summary");
    report.details = Field(fields, "details");
    CReportTable::CAdded added = m_store.Reports().Add(report, m_quota);
    if (added.outcome == CReportTable::CAddOutcome::Failed)
        m_store.LogFailure("storing a report", added.error);
    return added;
}

bool CReportStore::ReportsOf(const std::string& email, std::vector<CReportTable::CReport>& reports, std::string& error)
{
    reports.clear();
    if (email.empty())
        return true;
    if (m_store.Reports().ReportsOf(CleanText(email.substr(0, kMaxField)), kListed, reports, error))
        return true;
    m_store.LogFailure("listing reports", error);
    return false;
}
