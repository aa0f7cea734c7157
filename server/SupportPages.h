#pragma once

#include <string>

namespace httplib
{
class Server;
struct Request;
struct Response;
}  // namespace httplib
class CPageRenderer;
class CClientRegistry;
class CReportStore;

// The support pages (bug report, help list, feature request) and the client-id service.
class CSupportPages
{
public:
    CSupportPages(CPageRenderer& renderer, CClientRegistry& clients, CReportStore& reports)
        : m_renderer(renderer), m_clients(clients), m_reports(reports)
    {
    }

    void Register(httplib::Server& server);

private:
    void ReportForm(const std::string& kind, const httplib::Request& request, httplib::Response& response);
    void ReportSent(const std::string& kind, const httplib::Request& request, httplib::Response& response);
    void HelpList(const httplib::Request& request, httplib::Response& response);
    void ClientId(const httplib::Request& request, httplib::Response& response);

    CPageRenderer& m_renderer;
    CClientRegistry& m_clients;
    CReportStore& m_reports;
};
