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

// The Java tab's pages: home (with or without the client's query), search, and one page per
// technology. The search page also runs a search itself, over the same index and style
// sheets the client's searches use.
class CJavaPages
{
public:
    CJavaPages(const CSite& site, CPageRenderer& renderer) : m_site(site), m_renderer(renderer) {}

    void Register(httplib::Server& server);

    // Search kinds 0 to 4 of the client's search box and their style sheets.
    static const char* SearchSheet(int kind);

private:
    void Home(const httplib::Request& request, httplib::Response& response);
    void Search(const httplib::Request& request, httplib::Response& response);
    void Technology(const httplib::Request& request, httplib::Response& response);

    const CSite& m_site;
    CPageRenderer& m_renderer;
};
