#include "LocalPages.h"

#include <string>

#include <httplib.h>

#include "PageRenderer.h"
#include "Site.h"

void CLocalPages::Register(httplib::Server& server)
{
    static const std::pair<const char*, const char*> kRoutes[] = {
        {"/vantrel/localtab/home.jsp", "pages/local-home.xsl"},
        {"/vantrel/localtab/search.jsp", "pages/local-search.xsl"},
        {"/vantrel/localtab/category.jsp", "pages/local-category.xsl"},
        {"/vantrel/localtab/productlist.jsp", "pages/local-productlist.xsl"},
    };
    for (const auto& [path, sheetName] : kRoutes) {
        std::string sheet = sheetName;
        server.Get(path, [this, sheet](const httplib::Request& request, httplib::Response& response) {
            m_renderer.RenderSiteDocument(sheet, CSite::kCatalogue, CPageRenderer::QueryParameters(request), response);
        });
    }
}
