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
    page.Add(nullptr, "email", CPageRenderer::Parameter(request, "email"));
    page.Add(nullptr, "platform", CPageRenderer::Parameter(request, "platform"));
    m_renderer.Render("pages/report-form.xsl", page.Doc(), {}, response);
}

void CSupportPages::ReportSent(const std::string& kind, const CHttpRequest& request, CHttpResponse& response)
{
    std::map<std::string, std::string> fields;
    bool bug = kind == "bug";
    for (const char* name : bug ? std::vector<const char*>(std::begin(kBugFields), std::end(kBugFields))
                                : std::vector<const char*>(std::begin(kFeatureFields), std::end(kFeatureFields)))
        fields[name] = CPageRenderer::Parameter(request, name);
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
    int number = m_reports.Store(kind, fields);
    if (number == 0) {
        m_renderer.SendError(response, 500, "Your report could not be stored; please try again later.");
        return;
    }
    CGeneratedXml page("reportsent");
    page.SetAttribute(page.Root(), "kind", kind);
    page.SetAttribute(page.Root(), "number", std::to_string(number));
    for (const auto& [name, value] : fields)
        page.Add(nullptr, name, value);
    m_renderer.Render("pages/report-sent.xsl", page.Doc(), {}, response);
}

void CSupportPages::HelpList(const CHttpRequest& request, CHttpResponse& response)
{
    std::string email = CPageRenderer::Parameter(request, "email");
    CGeneratedXml page("helplist");
    page.SetAttribute(page.Root(), "clientid", CPageRenderer::Parameter(request, "clientid"));
    page.SetAttribute(page.Root(), "email", email);
    for (const auto& report : m_reports.ReportsOf(email)) {
        auto* element = page.Add(nullptr, "report");
        page.SetAttribute(element, "number", std::to_string(report.number));
        page.SetAttribute(element, "kind", report.kind);
        for (const auto& [name, value] : report.fields)
            if (name == "summary" || name == "received")
                page.Add(element, name, value);
    }
    m_renderer.Render("pages/help-list.xsl", page.Doc(), {}, response);
}

void CSupportPages::ClientId(const CHttpRequest& request, CHttpResponse& response)
{
    std::string id = m_clients.Register(CPageRenderer::Parameter(request, "clientid"),
                                        CPageRenderer::Parameter(request, "email"),
                                        CPageRenderer::Parameter(request, "exeversion"));
    response.SetContent(id + "\n", "text/plain; charset=UTF-8");
}
