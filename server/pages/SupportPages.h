#pragma once

#include <string>

#include "PageHandler.h"

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

    void Register(CHttpRouter& router);

private:
    void ReportForm(const std::string& kind, const CHttpRequest& request, CHttpResponse& response);
    void ReportSent(const std::string& kind, const CHttpRequest& request, CHttpResponse& response);
    void HelpList(const CHttpRequest& request, CHttpResponse& response);
    void ClientId(const CHttpRequest& request, CHttpResponse& response);

    CPageRenderer& m_renderer;
    CClientRegistry& m_clients;
    CReportStore& m_reports;
};
