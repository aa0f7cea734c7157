#include "XqlService.h"

#include "CatalogueClasses.h"
#include "CatalogueSearch.h"
#include "CleanText.h"
#include "DistributionFiles.h"
#include "JavaSearch.h"
#include "HttpRouter.h"
#include "PageRenderer.h"
#include "Site.h"
#include "XmlCache.h"

bool CXqlService::IsStoreName(const std::string& name)
{
    if (name.empty() || name.size() > 64)
        return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'))
            return false;
    return true;
}

std::optional<std::string> CXqlService::SheetLocation(const std::string& reference)
{
    size_t colon = reference.find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    std::string store = reference.substr(0, colon);
    std::string path = reference.substr(colon + 1);
    if (path.rfind("//", 0) == 0)
        return std::nullopt;  // a URL with a host, never a store
    while (!path.empty() && path.front() == '/')
        path.erase(0, 1);
    if (!IsStoreName(store) || path.size() < 5 || path.compare(path.size() - 4, 4, ".xsl") != 0)
        return std::nullopt;
    return "stores/" + store + "/" + path;
}

void CXqlService::Register(CHttpRouter& router)
{
    router.Get(R"(/xql\.dll/(.*))", [this](const CHttpRequest& request, CHttpResponse& response) {
        Handle(request, response);
    });
}

void CXqlService::Handle(const CHttpRequest& request, CHttpResponse& response)
{
    std::string relative = request.matches[1];
    std::string store = relative.substr(0, relative.find('/'));
    auto documentPath = IsStoreName(store) ? m_site.ResolveFile("stores/" + relative) : std::nullopt;
    if (!documentPath) {
        m_renderer.SendError(response, 404, "There is no document " + request.path + " on this server.");
        return;
    }

    std::string sheetReference = request.Parameter("xslsheet");
    if (sheetReference.empty()) {
        if (!CDistributionFiles::SendFile(*documentPath, request, response))
            m_renderer.SendError(response, 500, "The document " + request.path + " cannot be read.");
        return;
    }
    // Style sheets come only from the site's stores, never from a path or URL of the request.
    auto sheetLocation = SheetLocation(sheetReference);
    if (sheetLocation && AnswerSearch(relative, *sheetLocation, request, response))
        return;
    auto sheetPath = sheetLocation ? m_site.ResolveFile(*sheetLocation) : std::nullopt;
    if (!sheetPath) {
        m_renderer.SendError(response, 404, "There is no style sheet \"" + sheetReference + "\" on this server.");
        return;
    }
    std::string error;
    auto document = m_renderer.Documents().Get(*documentPath, error);
    if (!document) {
        m_renderer.SendError(response, 500, "The document " + request.path + " is not readable XML: " + error);
        return;
    }
    CParameterList parameters;
    for (auto& parameter : CPageRenderer::QueryParameters(request))
        if (parameter.first != "xslsheet")
            parameters.push_back(std::move(parameter));
    m_renderer.RenderWithSheet(*sheetPath, document->Doc(), parameters, response);
}

bool CXqlService::AnswerSearch(const std::string& document, const std::string& sheet, const CHttpRequest& request,
                                   CHttpResponse& response)
{
    static const std::string kSheets = "stores/vantrel/java/xsl/";
    static const std::string kData = "vantrel/java/data/";
    static const std::string kIndex = "/index.bnd";
    auto clean = NormaliseRelativePath(document);
    if (clean && *clean == "components/vendors/components.bnd" &&
        sheet == "stores/components/vendors/xsl/rm/search-local.xsl") {
        const std::string query = request.Parameter("qtarget");
        std::string classes;
        CCatalogueClasses::AppendSearchRows(classes, m_catalogueClasses.Search(query, CCatalogueClasses::kSearchLimit));
        response.SetContent(m_catalogueSearch.LocalAnswer(query, classes), "text/xml; charset=UTF-8");
        return true;
    }
    if (!clean || !sheet.starts_with(kSheets) || !clean->starts_with(kData) || !clean->ends_with(kIndex) ||
        clean->size() <= kData.size() + kIndex.size())
        return false;
    int kind = CJavaSearch::KindOfSheet(std::string_view(sheet).substr(kSheets.size()));
    std::string technology = clean->substr(kData.size(), clean->size() - kData.size() - kIndex.size());
    if (kind < 0 || technology.find('/') != std::string::npos)
        return false;
    std::string error;
    auto index = m_javaSearch.Index(technology, error);
    if (!index) {
        m_renderer.SendError(response, 500, "The search index of " + technology + " cannot be read: " + error);
        return true;
    }
    response.status = 200;
    response.SetContent(index->Answer(kind, CleanText(request.Parameter("qtarget"))),
                        "text/xml; charset=UTF-8");
    return true;
}
