#pragma once

#include <string>
#include <string_view>

#include "PageHandler.h"

class CAdvisoryCache;
class CServerStore;

// The known vulnerabilities of components: the scan's question (which of these versions do
// records affect, POST /vantrel/advisories, answered in JSON), and the Marketplace product
// page, which lists each catalogued version's advisories. Both read the store's records as
// they are at the request.
class CAdvisoryPages
{
public:
    // What one question may hold.
    static constexpr size_t kMaxQueryBytes = 2 * 1024 * 1024;
    static constexpr size_t kMaxQueries = 20000;

    CAdvisoryPages(const CSite& site, CPageRenderer& renderer, CAdvisoryCache& cache, CServerStore& store)
        : m_site(site), m_renderer(renderer), m_cache(cache), m_store(store)
    {
    }

    void Register(CHttpRouter& router);

    // The answer to a question's body ("group:artifact<TAB>version" lines), as JSON.
    std::string Answer(std::string_view body);

private:
    void Match(const CHttpRequest& request, CHttpResponse& response);
    void ProductPage(const CHttpRequest& request, CHttpResponse& response);
    void Refresh();

    const CSite& m_site;
    CPageRenderer& m_renderer;
    CAdvisoryCache& m_cache;
    CServerStore& m_store;
};
