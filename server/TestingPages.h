#pragma once

namespace httplib
{
class Server;
struct Request;
struct Response;
}  // namespace httplib
class CPageRenderer;
class CLookupDatabase;

// The Testing tab's upload page: a form that takes a JAR, lists the classes it holds and
// the catalogued components they belong to.
class CTestingPages
{
public:
    CTestingPages(CPageRenderer& renderer, const CLookupDatabase& lookup) : m_renderer(renderer), m_lookup(lookup) {}

    void Register(httplib::Server& server);

private:
    void Form(const httplib::Request& request, httplib::Response& response);
    void Upload(const httplib::Request& request, httplib::Response& response);

    CPageRenderer& m_renderer;
    const CLookupDatabase& m_lookup;
};
