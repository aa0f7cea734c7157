#include "MarketPages.h"

#include <random>

#include <sys/stat.h>

#include "CatalogueSearch.h"
#include "CleanText.h"
#include "DistributionFiles.h"
#include "HttpRouter.h"
#include "PageRenderer.h"
#include "ServerStore.h"
#include "Site.h"

namespace
{
struct CPageRoute
{
    const char* path;
    const char* sheet;
};

// Pages rendered from the catalogue by a style sheet of their own. The product page, which
// also lists advisories, is CAdvisoryPages'.
const CPageRoute kRoutes[] = {
    {"/vantrel/markettab/home.jsp", "pages/market-home.xsl"},
    {"/components/subcategory.jsp", "pages/market-subcategory.xsl"},
    {"/components/productlist.jsp", "pages/market-productlist.xsl"},
};
}  // namespace

std::string CMarketPages::NewSessionId()
{
    static thread_local std::mt19937_64 generator(std::random_device{}());
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(generator()),
                  static_cast<unsigned long long>(generator()));
    return text;
}

void CMarketPages::Register(CHttpRouter& router)
{
    for (const auto& route : kRoutes) {
        std::string sheet = route.sheet;
        router.Get(route.path, [this, sheet](const CHttpRequest& request, CHttpResponse& response) {
            m_renderer.RenderSiteDocument(sheet, CSite::kCatalogue, CPageRenderer::QueryParameters(request), response);
        });
    }
    router.Get("/vantrel/markettab/indexfile.jsp",
               [this](const CHttpRequest& request, CHttpResponse& response) { IndexFile(request, response); });
    router.Get("/vantrel/markettab/search.jsp", [this](const CHttpRequest& request, CHttpResponse& response) {
        m_renderer.RenderSiteDocument("pages/market-search.xsl", CSite::kCatalogue,
                                      m_search.PageParameters(CPageRenderer::QueryParameters(request)), response);
    });
    router.Get("/components/xmlsearchresults.jsp", [this](const CHttpRequest& request, CHttpResponse& response) {
        SearchResults(request, response);
    });
    router.Get("/Vantrel/markettab/session.jsp",
               [this](const CHttpRequest& request, CHttpResponse& response) { Session(request, response); });
}

void CMarketPages::Session(const CHttpRequest& request, CHttpResponse& response)
{
    std::string id = NewSessionId();
    std::string error;
    std::string look = CleanText(request.Parameter("look").substr(0, 64));
    if (!m_store.MarketSessions().Add(id, look, error)) {
        m_store.LogFailure("opening a marketplace session", error);
        // The client keeps no session then and asks again with its next page.
        m_renderer.SendError(response, 503, "No marketplace session can be opened just now; please try again later.");
        return;
    }
    response.SetContent(id + "\n", "text/plain; charset=UTF-8");
}

void CMarketPages::IndexFile(const CHttpRequest& request, CHttpResponse& response)
{
    if (!m_renderer.RenderSiteDocument("pages/market-index.xsl", CSite::kCatalogue,
                                       CPageRenderer::QueryParameters(request), response))
        return;
    // The index changes exactly when the catalogue does.
    struct stat info{};
    if (auto catalogue = m_site.ResolveFile(CSite::kCatalogue); catalogue && ::stat(catalogue->c_str(), &info) == 0)
        response.SetHeader("Last-Modified", CDistributionFiles::HttpDate(info.st_mtim.tv_sec));
}

void CMarketPages::SearchResults(const CHttpRequest& request, CHttpResponse& response)
{
    response.SetContent(m_search.MarketAnswer(request.Parameter("lparam")), "text/xml; charset=UTF-8");
}
