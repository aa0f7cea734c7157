#include "JavaPages.h"

#include <libxml/tree.h>

#include "GeneratedXml.h"
#include "HttpRouter.h"
#include "JavaSearch.h"
#include "PageRenderer.h"
#include "Site.h"
#include "XmlCache.h"

void CJavaPages::Register(CHttpRouter& router)
{
    router.Get("/vantrel/javatab/home.jsp",
               [this](const CHttpRequest& request, CHttpResponse& response) { Home(request, response); });
    router.Get("/vantrel/javatab/search.jsp",
               [this](const CHttpRequest& request, CHttpResponse& response) { Search(request, response); });
    router.Get(R"(/vantrel/javatab/technology/([^/]+)\.jsp)",
               [this](const CHttpRequest& request, CHttpResponse& response) { Technology(request, response); });
}

void CJavaPages::Home(const CHttpRequest& request, CHttpResponse& response)
{
    m_renderer.RenderSiteDocument("pages/java-home.xsl", CSite::kJavaIndex, CPageRenderer::QueryParameters(request),
                                  response);
}

void CJavaPages::Technology(const CHttpRequest& request, CHttpResponse& response)
{
    std::string technology = request.matches[1];
    if (!m_site.Resolve("stores/vantrel/java/data/" + technology)) {
        m_renderer.SendError(response, 404, "There is no Java technology \"" + technology + "\" on this server.");
        return;
    }
    CParameterList parameters = CPageRenderer::QueryParameters(request);
    parameters.emplace_back("technology", technology);
    m_renderer.RenderSiteDocument("pages/java-technology.xsl", CSite::kJavaIndex, parameters, response);
}

void CJavaPages::Search(const CHttpRequest& request, CHttpResponse& response)
{
    std::string text = request.Parameter("q");
    std::string kindText = request.Parameter("kind");
    int kind = kindText.size() == 1 && kindText[0] >= '0' && kindText[0] <= '4' ? kindText[0] - '0' : 1;

    CGeneratedXml results("searchresults");
    results.SetAttribute(results.Root(), "kind", std::to_string(kind));
    results.SetAttribute(results.Root(), "q", text);

    if (!text.empty()) {
        std::string error;
        auto indexPath = m_site.ResolveFile(CSite::kJavaIndex);
        auto index = indexPath ? m_renderer.Documents().Get(*indexPath, error) : nullptr;
        if (!index) {
            m_renderer.SendError(response, 500, "The Java index cannot be searched: " + error);
            return;
        }
        xmlNodePtr root = xmlDocGetRootElement(index->Doc());
        for (xmlNodePtr technology = root ? root->children : nullptr; technology; technology = technology->next) {
            if (!CParsedXml::IsElement(technology, "technology"))
                continue;
            std::string name = CParsedXml::Attribute(technology, "name");
            auto searchIndex = m_search.Index(name, error);
            size_t total = 0;
            auto hits = searchIndex ? searchIndex->Search(kind, text, CJavaSearchIndex::kLimit, total)
                                    : std::vector<CJavaSearchIndex::CHit>();
            if (hits.empty())
                continue;
            xmlNodePtr group = results.Add(nullptr, "technology");
            results.SetAttribute(group, "name", name);
            results.SetAttribute(group, "display", CParsedXml::Attribute(technology, "display"));
            results.SetAttribute(group, "docroot", CParsedXml::Attribute(technology, "docroot"));
            if (total > hits.size())
                results.SetAttribute(group, "truncated", "true");
            for (const auto& hit : hits) {
                xmlNodePtr element = results.Add(group, hit.className.empty() ? "package" : "class");
                if (!hit.className.empty())
                    results.Add(element, "className", std::string(hit.className));
                results.Add(element, "packageName", std::string(hit.packageName));
                if (!hit.className.empty())
                    results.Add(element, "kind", std::string(hit.kind));
                if (!hit.methodName.empty()) {
                    xmlNodePtr method = results.Add(element, "method");
                    results.Add(method, "methodName", std::string(hit.methodName));
                    results.Add(method, "signature", std::string(hit.signature));
                }
            }
        }
    }
    m_renderer.Render("pages/java-search.xsl", results.Doc(), CPageRenderer::QueryParameters(request), response);
}
