#include "LocalPages.h"

#include <string>

#include "CatalogueSearch.h"
#include "HttpRouter.h"
#include "PageRenderer.h"
#include "Site.h"

void CLocalPages::Register(CHttpRouter& router)
{
    static const std::pair<const char*, const char*> kRoutes[] = {
        {"/vantrel/localtab/home.jsp", "pages/local-home.xsl"},
        {"/vantrel/localtab/category.jsp", "pages/local-category.xsl"},
        {"/vantrel/localtab/productlist.jsp", "pages/local-productlist.xsl"},
    };
    for (const auto& [path, sheetName] : kRoutes) {
        std::string sheet = sheetName;
        router.Get(path, [this, sheet](const CHttpRequest& request, CHttpResponse& response) {
            m_renderer.RenderSiteDocument(sheet, CSite::kCatalogue, CPageRenderer::QueryParameters(request), response);
        });
    }
    router.Get("/vantrel/localtab/search.jsp", [this](const CHttpRequest& request, CHttpResponse& response) {
        m_renderer.RenderSiteDocument("pages/local-search.xsl", CSite::kCatalogue,
                                      m_search.PageParameters(CPageRenderer::QueryParameters(request)), response);
    });
}
