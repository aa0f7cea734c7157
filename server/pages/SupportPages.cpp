#include "SupportPages.h"

#include "ClientRegistry.h"
#include "GeneratedXml.h"
#include "HttpRouter.h"
#include "PageRenderer.h"
#include "ReportStore.h"

namespace
{
// The fields each form sends, in the order the page shows them.
const char* const kBugFields[] = {"email", "platform", "summary", "details"};
const char* const kFeatureFields[] = {"email", "summary", "details"};
}  // namespace

void CSupportPages::Register(CHttpRouter& router)
{
    router.Get("/vantrel/ui/support.jsp", [this](const CHttpRequest& request, CHttpResponse& response) {
        ReportForm("bug", request, response);
    });
    router.Post("/vantrel/ui/support.jsp", [this](const CHttpRequest& request, CHttpResponse& response) {
        ReportSent("bug", request, response);
    });
    router.Get("/vantrel/ui/request.jsp", [this](const CHttpRequest& request, CHttpResponse& response) {
        ReportForm("feature", request, response);
    });
    router.Post("/vantrel/ui/request.jsp", [this](const CHttpRequest& request, CHttpResponse& response) {
        ReportSent("feature", request, response);
    });
    router.Get("/vantrel/ui/help/list.jsp",
               [this](const CHttpRequest& request, CHttpResponse& response) { HelpList(request, response); });
    router.Get("/Vantrel/ui/clientid.jsp",
               [this](const CHttpRequest& request, CHttpResponse& response) { ClientId(request, response); });
}

void CSupportPages::ReportForm(const std::string& kind, const CHttpRequest& request, CHttpResponse& response)
{
    CGeneratedXml page("reportform");
    page.SetAttribute(page.Root(), "kind", kind);
    page.Add(nullptr, "email", request.Parameter("email"));
    page.Add(nullptr, "platform", request.Parameter("platform"));
    m_renderer.Render("pages/report-form.xsl", page.Doc(), {}, response);
}

void CSupportPages::ReportSent(const std::string& kind, const CHttpRequest& request, CHttpResponse& response)
{
    std::map<std::string, std::string> fields;
    bool bug = kind == "bug";
    for (const char* name : bug ? std::vector<const char*>(std::begin(kBugFields), std::end(kBugFields))
                                : std::vector<const char*>(std::begin(kFeatureFields), std::end(kFeatureFields)))
        fields[name] = request.Parameter(name);
    if (fields["summary"].empty()) {
        CGeneratedXml page("reportform");
        page.SetAttribute(page.Root(), "kind", kind);
        page.SetAttribute(page.Root(), "problem", "Please say in a line what the report is about.");
        for (const auto& [name, value] : fields)
            page.Add(nullptr, name, value);
        response.status = 400;
        m_renderer.Render("pages/report-form.xsl", page.Doc(), {}, response);
        response.status = 400;
        return;
    }
    CReportTable::CAdded added = m_reports.Store(kind, fields);
    if (added.outcome == CReportTable::CAddOutcome::OverQuota) {
        // The form comes back filled in, so nothing typed is lost.
        CGeneratedXml page("reportform");
        page.SetAttribute(page.Root(), "kind", kind);
        std::string quota = std::to_string(m_reports.Quota());
        page.SetAttribute(page.Root(), "problem",
                          fields["email"].empty()
                              ? quota + " reports without an e-mail address came in the last 24 hours, as many as "
                                        "we accept in a day. Please give your address, or send this one later."
                              : "This address has sent " + quota +
                                    " reports in the last 24 hours, as many as we accept from one address in a "
                                    "day. Please send this one later.");
        for (const auto& [name, value] : fields)
            page.Add(nullptr, name, value);
        m_renderer.Render("pages/report-form.xsl", page.Doc(), {}, response);
        response.status = 429;
        response.SetHeader("Retry-After", "3600");
        return;
    }
    if (added.outcome != CReportTable::CAddOutcome::Stored) {
        m_renderer.SendError(response, 503, "Your report could not be stored; please try again later.");
        return;
    }
    CGeneratedXml page("reportsent");
    page.SetAttribute(page.Root(), "kind", kind);
    page.SetAttribute(page.Root(), "number", std::to_string(added.number));
    for (const auto& [name, value] : fields)
        page.Add(nullptr, name, value);
    m_renderer.Render("pages/report-sent.xsl", page.Doc(), {}, response);
}

void CSupportPages::HelpList(const CHttpRequest& request, CHttpResponse& response)
{
    std::string email = request.Parameter("email");
    std::vector<CReportTable::CReport> reports;
    std::string error;
    if (!m_reports.ReportsOf(email, reports, error)) {
        m_renderer.SendError(response, 503, "The list of your reports is not available; please try again later.");
        return;
    }
    CGeneratedXml page("helplist");
    page.SetAttribute(page.Root(), "clientid", request.Parameter("clientid"));
    page.SetAttribute(page.Root(), "email", email);
    for (const auto& report : reports) {
        auto* element = page.Add(nullptr, "report");
        page.SetAttribute(element, "number", std::to_string(report.number));
        page.SetAttribute(element, "kind", report.kind);
        page.Add(element, "summary", report.summary);
        page.Add(element, "received", report.received);
    }
    m_renderer.Render("pages/help-list.xsl", page.Doc(), {}, response);
}

void CSupportPages::ClientId(const CHttpRequest& request, CHttpResponse& response)
{
    std::string error;
    std::string id = m_clients.Register(request.Parameter("clientid"), request.Parameter("email"),
                                        request.Parameter("exeversion"), error);
    // The client keeps its old id when the request fails, and asks again at its next start.
    if (id.empty()) {
        m_renderer.SendError(response, 503, "No client id can be handed out just now; please try again later.");
        return;
    }
    response.SetContent(id + "\n", "text/plain; charset=UTF-8");
}
