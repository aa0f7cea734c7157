#pragma once

#include <string>

#include "PageHandler.h"

class CJavaSearch;

// The Java tab's pages: home (with or without the client's query), search, and one page per
// technology. The search page also runs a search itself, over the same search indexes the
// client's searches use.
class CJavaPages
{
public:
    CJavaPages(const CSite& site, CPageRenderer& renderer, CJavaSearch& search)
        : m_site(site), m_renderer(renderer), m_search(search)
    {
    }

    void Register(CHttpRouter& router);

private:
    void Home(const CHttpRequest& request, CHttpResponse& response);
    void Search(const CHttpRequest& request, CHttpResponse& response);
    void Technology(const CHttpRequest& request, CHttpResponse& response);

    const CSite& m_site;
    CPageRenderer& m_renderer;
    CJavaSearch& m_search;
};
