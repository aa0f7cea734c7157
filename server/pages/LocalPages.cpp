#include "LocalPages.h"

#include <string>

#include "CatalogueClasses.h"
#include "CatalogueSearch.h"
#include "CleanText.h"
#include "GeneratedXml.h"
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
    // The versions found on the machine, each as a "version" parameter.
    router.Get("/vantrel/localtab/classes.jsp", [this](const CHttpRequest& request, CHttpResponse& response) {
        std::vector<std::string> versions;
        for (const auto& [name, value] : request.params)
            if (name == "version")
                versions.push_back(value);
        response.SetContent(m_classes.ClassListAnswer(request.Parameter("scid"), versions),
                            "text/xml; charset=UTF-8");
    });
    router.Get("/vantrel/localtab/class.jsp",
               [this](const CHttpRequest& request, CHttpResponse& response) { ClassPage(request, response); });
}

// What the catalogue knows of a class: its package, and the components and versions that hold
// it. The client's note (why an API page it found was not opened) comes as a parameter.
void CLocalPages::ClassPage(const CHttpRequest& request, CHttpResponse& response)
{
    const std::string name = CleanText(request.Parameter("name"));
    CGeneratedXml page("class");
    const size_t dot = name.rfind('.');
    page.SetAttribute(page.Root(), "name", name);
    page.SetAttribute(page.Root(), "simpleName", dot == std::string::npos ? name : name.substr(dot + 1));
    page.SetAttribute(page.Root(), "package", dot == std::string::npos ? "" : name.substr(0, dot));
    for (const CCatalogueClasses::CHolder& holder : m_classes.HoldersOf(name)) {
        auto* component = page.Add(page.Root(), "component");
        page.SetAttribute(component, "SCID", holder.scid);
        page.SetAttribute(component, "name", holder.name);
        for (const std::string& version : holder.versions)
            page.SetAttribute(page.Add(component, "version"), "name", version);
    }
    m_renderer.Render("pages/local-class.xsl", page.Doc(), CPageRenderer::QueryParameters(request), response);
}
