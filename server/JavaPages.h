#pragma once

#include <string>

class CHttpRouter;
struct CHttpRequest;
struct CHttpResponse;
class CSite;
class CPageRenderer;

// The Java tab's pages: home (with or without the client's query), search, and one page per
// technology. The search page also runs a search itself, over the same index and style
// sheets the client's searches use.
class CJavaPages
{
public:
    CJavaPages(const CSite& site, CPageRenderer& renderer) : m_site(site), m_renderer(renderer) {}

    void Register(CHttpRouter& router);

    // Search kinds 0 to 4 of the client's search box and their style sheets.
    static const char* SearchSheet(int kind);

private:
    void Home(const CHttpRequest& request, CHttpResponse& response);
    void Search(const CHttpRequest& request, CHttpResponse& response);
    void Technology(const CHttpRequest& request, CHttpResponse& response);

    const CSite& m_site;
    CPageRenderer& m_renderer;
};
