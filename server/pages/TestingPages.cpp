#include "TestingPages.h"

#include <map>
#include <set>

#include "GeneratedXml.h"
#include "HttpRouter.h"
#include "JarLister.h"
#include "LookupDatabase.h"
#include "PageRenderer.h"

void CTestingPages::Register(CHttpRouter& router)
{
    router.Get("/vantrel/testtab/upload.jsp",
               [this](const CHttpRequest& request, CHttpResponse& response) { Form(request, response); });
    router.Post("/vantrel/testtab/upload.jsp",
                [this](const CHttpRequest& request, CHttpResponse& response) { Upload(request, response); });
}

void CTestingPages::Form(const CHttpRequest&, CHttpResponse& response)
{
    CGeneratedXml page("upload");
    m_renderer.Render("pages/testing-upload.xsl", page.Doc(), {}, response);
}

void CTestingPages::Upload(const CHttpRequest& request, CHttpResponse& response)
{
    CGeneratedXml page("upload");
    const CFormFile* file = request.File("archive");
    if (!file || file->content.empty()) {
        page.SetAttribute(page.Root(), "problem", "Choose a JAR file to upload first.");
        m_renderer.Render("pages/testing-upload.xsl", page.Doc(), {}, response);
        response.status = 400;
        return;
    }
    page.SetAttribute(page.Root(), "file", file->filename);
    page.SetAttribute(page.Root(), "size", std::to_string(file->content.size()));

    CJarLister::CListing listing = CJarLister::List(file->content);
    if (!listing.ok) {
        page.SetAttribute(page.Root(), "problem", listing.error);
        m_renderer.Render("pages/testing-upload.xsl", page.Doc(), {}, response);
        response.status = 422;
        return;
    }
    page.SetAttribute(page.Root(), "entries", std::to_string(listing.entries));
    std::map<std::string, size_t> classesOfComponent;
    std::set<std::string> looked;
    auto* classes = page.Add(nullptr, "classes");
    for (const auto& name : listing.classes) {
        page.Add(classes, "class", name);
        std::string topLevel = CJarLister::TopLevelName(name);
        if (looked.insert(topLevel).second)
            for (const auto& scid : m_lookup.FindComponents(topLevel))
                ++classesOfComponent[scid];
    }
    auto* components = page.Add(nullptr, "components");
    for (const auto& [scid, count] : classesOfComponent) {
        auto* component = page.Add(components, "component");
        page.SetAttribute(component, "SCID", scid);
        page.SetAttribute(component, "classes", std::to_string(count));
    }
    m_renderer.Render("pages/testing-upload.xsl", page.Doc(), {}, response);
}
