#pragma once

#include <optional>
#include <string>

#include "PageHandler.h"

class CJavaSearch;
class CCatalogueClasses;
class CCatalogueSearch;

// "/xql.dll/<store>/<path>": the XML document of a store and, with
// "xslsheet=<store>:<path>", that document through a style sheet of the site, the other
// query parameters becoming the sheet's parameters. The Java search sheets over a
// technology's index, and the Local search sheet over the catalogue, are answered by the
// server's search indexes instead.
class CXqlService
{
public:
    CXqlService(const CSite& site, CPageRenderer& renderer, CJavaSearch& javaSearch, CCatalogueSearch& catalogueSearch,
                CCatalogueClasses& catalogueClasses)
        : m_site(site),
          m_renderer(renderer),
          m_javaSearch(javaSearch),
          m_catalogueSearch(catalogueSearch),
          m_catalogueClasses(catalogueClasses)
    {
    }

    void Register(CHttpRouter& router);

    // "vantrel:/java/xsl/a.xsl" and "vantrel:java/xsl/a.xsl" give "stores/vantrel/java/xsl/a.xsl";
    // nothing for anything that is not a store's style sheet.
    static std::optional<std::string> SheetLocation(const std::string& reference);
    static bool IsStoreName(const std::string& name);

private:
    void Handle(const CHttpRequest& request, CHttpResponse& response);
    // A search sheet over a technology's index or the catalogue: answered from the server's
    // search indexes.
    bool AnswerSearch(const std::string& document, const std::string& sheet, const CHttpRequest& request,
                          CHttpResponse& response);

    const CSite& m_site;
    CPageRenderer& m_renderer;
    CJavaSearch& m_javaSearch;
    CCatalogueSearch& m_catalogueSearch;
    CCatalogueClasses& m_catalogueClasses;
};
