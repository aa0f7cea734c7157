#pragma once

#include <string>

#include "PageHandler.h"

class CCatalogueSearch;
class CServerStore;

// The marketplace site and web server: the catalogue's index and search answers for the
// client, a session id, and the catalogue's pages (home, search, subcategory, product
// list, product), all from the component catalogue of the site. Sessions handed out are
// kept in the server's store.
class CMarketPages
{
public:
    CMarketPages(const CSite& site, CPageRenderer& renderer, CCatalogueSearch& search, CServerStore& store)
        : m_site(site), m_renderer(renderer), m_search(search), m_store(store)
    {
    }

    void Register(CHttpRouter& router);

    // 32 hexadecimal digits from the system's random source.
    static std::string NewSessionId();

private:
    void Session(const CHttpRequest& request, CHttpResponse& response);
    void IndexFile(const CHttpRequest& request, CHttpResponse& response);
    void SearchResults(const CHttpRequest& request, CHttpResponse& response);

    const CSite& m_site;
    CPageRenderer& m_renderer;
    CCatalogueSearch& m_search;
    CServerStore& m_store;
};
