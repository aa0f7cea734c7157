#pragma once

#include <string>

namespace httplib
{
class Server;
struct Request;
struct Response;
}  // namespace httplib
class CSite;
class CPageRenderer;
class CServerStore;

// The marketplace site and web server: the catalogue's index and search answers for the
// client, a session id, and the catalogue's pages (home, search, subcategory, product
// list, product), all from the component catalogue of the site. Sessions handed out are
// kept in the server's store.
class CMarketPages
{
public:
    CMarketPages(const CSite& site, CPageRenderer& renderer, CServerStore& store)
        : m_site(site), m_renderer(renderer), m_store(store)
    {
    }

    void Register(httplib::Server& server);

    // 32 hexadecimal digits from the system's random source.
    static std::string NewSessionId();

private:
    void Session(const httplib::Request& request, httplib::Response& response);
    void IndexFile(const httplib::Request& request, httplib::Response& response);

    const CSite& m_site;
    CPageRenderer& m_renderer;
    CServerStore& m_store;
};
