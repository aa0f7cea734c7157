#include "JavaPages.h"

#include <libxml/tree.h>

#include "GeneratedXml.h"
#include "HttpRouter.h"
#include "PageRenderer.h"
#include "Site.h"
#include "StyleSheetCache.h"
#include "XmlCache.h"

namespace
{
std::string Attribute(xmlNodePtr node, const char* name)
{
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    std::string text = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
}

bool IsElement(xmlNodePtr node, const char* name)
{
    return node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, reinterpret_cast<const xmlChar*>(name)) == 0;
}
}  // namespace

const char* CJavaPages::SearchSheet(int kind)
{
    static const char* const kSheets[] = {"search-package.xsl", "search-class.xsl", "search-method.xsl",
                                          "search-descendent.xsl", "search-interface.xsl"};
    return kind >= 0 && kind < 5 ? kSheets[kind] : nullptr;
}

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
    std::string text = CPageRenderer::Parameter(request, "q");
    std::string kindText = CPageRenderer::Parameter(request, "kind");
    int kind = kindText.size() == 1 && kindText[0] >= '0' && kindText[0] <= '4' ? kindText[0] - '0' : 1;

    CGeneratedXml results("searchresults");
    results.SetAttribute(results.Root(), "kind", std::to_string(kind));
    results.SetAttribute(results.Root(), "q", text);

    if (!text.empty()) {
        std::string error;
        auto indexPath = m_site.ResolveFile(CSite::kJavaIndex);
        auto index = indexPath ? m_renderer.Documents().Get(*indexPath, error) : nullptr;
        auto sheetPath = m_site.ResolveFile(std::string("stores/vantrel/java/xsl/") + SearchSheet(kind));
        auto sheet = sheetPath ? m_renderer.Sheets().Get(*sheetPath, error) : nullptr;
        if (!index || !sheet) {
            m_renderer.SendError(response, 500, "The Java index cannot be searched: " + error);
            return;
        }
        // The same request the client makes of every technology, in the client's order.
        CParameterList parameters = {{"qtarget", text},
                                     {"packagename", kind == 0 ? text : ""},
                                     {"classname", kind == 1 || kind == 3 || kind == 4 ? text : ""},
                                     {"methodname", kind == 2 ? text : ""}};
        xmlNodePtr root = xmlDocGetRootElement(index->Doc());
        for (xmlNodePtr technology = root ? root->children : nullptr; technology; technology = technology->next) {
            if (!IsElement(technology, "technology"))
                continue;
            std::string name = Attribute(technology, "name");
            auto dataPath = m_site.ResolveFile("stores/vantrel/java/data/" + name + "/index.bnd");
            auto data = dataPath ? m_renderer.Documents().Get(*dataPath, error) : nullptr;
            if (!data)
                continue;
            CTransformResult found = CTransformer::Apply(*sheet, data->Doc(), parameters);
            if (!found.ok)
                continue;
            xmlDocPtr answer = xmlReadMemory(found.body.data(), static_cast<int>(found.body.size()), nullptr, nullptr,
                                             XML_PARSE_NONET | XML_PARSE_NOBLANKS);
            xmlNodePtr answerRoot = answer ? xmlDocGetRootElement(answer) : nullptr;
            if (answerRoot && answerRoot->children) {
                xmlNodePtr group = results.Add(nullptr, "technology");
                results.SetAttribute(group, "name", name);
                results.SetAttribute(group, "display", Attribute(technology, "display"));
                results.SetAttribute(group, "docroot", Attribute(technology, "docroot"));
                if (!Attribute(answerRoot, "truncated").empty())
                    results.SetAttribute(group, "truncated", "true");
                for (xmlNodePtr hit = answerRoot->children; hit; hit = hit->next)
                    if (hit->type == XML_ELEMENT_NODE)
                        results.AddCopy(group, hit);
            }
            if (answer)
                xmlFreeDoc(answer);
        }
    }
    m_renderer.Render("pages/java-search.xsl", results.Doc(), CPageRenderer::QueryParameters(request), response);
}
