#include "PageRenderer.h"

#include <set>

#include <libxml/tree.h>

#include "GeneratedXml.h"
#include "HttpResponse.h"
#include "Site.h"
#include "StyleSheetCache.h"
#include "XmlCache.h"

namespace
{
const char* StatusTitle(int status)
{
    switch (status) {
    case 400: return "Bad request";
    case 403: return "Forbidden";
    case 404: return "Not found";
    case 405: return "Method not allowed";
    case 413: return "Request too large";
    case 414: return "Address too long";
    case 416: return "Range not satisfiable";
    case 431: return "Header too large";
    case 503: return "Busy";
    default: return status >= 500 ? "Server error" : "Error";
    }
}

std::string EscapeHtml(const std::string& text)
{
    std::string out;
    CGeneratedXml::AppendEscaped(out, text);
    return out;
}
}  // namespace

CPageRenderer::CPageRenderer(const CSite& site, CXmlCache& documents, CStyleSheetCache& sheets)
    : m_site(site), m_documents(documents), m_sheets(sheets)
{
}

CParameterList CPageRenderer::QueryParameters(const CHttpRequest& request)
{
    CParameterList list;
    std::set<std::string> seen;
    for (const auto& [name, value] : request.params)
        if (seen.insert(name).second)
            list.emplace_back(name, value);
    return list;
}

bool CPageRenderer::RenderSiteDocument(const std::string& sheet, const std::string& document,
                                       const CParameterList& parameters, CHttpResponse& response)
{
    auto path = m_site.ResolveFile(document);
    if (!path) {
        SendError(response, 404, "No document " + document + " on this site.");
        return false;
    }
    std::string error;
    auto doc = m_documents.Get(*path, error);
    if (!doc) {
        SendError(response, 500, "The site's document " + document + " cannot be read: " + error);
        return false;
    }
    return Render(sheet, doc->Doc(), parameters, response);
}

bool CPageRenderer::Render(const std::string& sheet, xmlDocPtr doc, const CParameterList& parameters,
                           CHttpResponse& response)
{
    auto path = m_site.ResolveFile(sheet);
    if (!path) {
        SendError(response, 500, "The site has no style sheet " + sheet + ".");
        return false;
    }
    return RenderWithSheet(*path, doc, parameters, response);
}

bool CPageRenderer::RenderWithSheet(const std::string& sheetPath, xmlDocPtr doc, const CParameterList& parameters,
                                    CHttpResponse& response)
{
    std::string error;
    auto sheet = m_sheets.Get(sheetPath, error);
    if (!sheet) {
        SendError(response, 500, error);
        return false;
    }
    CTransformResult result = CTransformer::Apply(*sheet, doc, parameters);
    if (!result.ok) {
        SendError(response, 500, result.error);
        return false;
    }
    response.status = 200;
    response.SetContent(result.body, result.mediaType.c_str());
    return true;
}

void CPageRenderer::SendError(CHttpResponse& response, int status, const std::string& message)
{
    response.status = status;
    CGeneratedXml page("error");
    page.Add(nullptr, "status", std::to_string(status));
    page.Add(nullptr, "title", StatusTitle(status));
    page.Add(nullptr, "message", message);
    if (auto sheetPath = m_site.ResolveFile("pages/error.xsl")) {
        std::string error;
        if (auto sheet = m_sheets.Get(*sheetPath, error)) {
            CTransformResult result = CTransformer::Apply(*sheet, page.Doc(), {});
            if (result.ok) {
                response.SetContent(result.body, result.mediaType.c_str());
                return;
            }
        }
    }
    response.SetContent("<!DOCTYPE html><html><head><title>" + std::string(StatusTitle(status)) +
                             "</title></head><body><h1>" + StatusTitle(status) + "</h1><p>" + EscapeHtml(message) +
                             "</p></body></html>",
                         "text/html; charset=UTF-8");
}
