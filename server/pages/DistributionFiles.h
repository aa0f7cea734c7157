#pragma once

#include <string>

#include "PageHandler.h"

// The distribution server (the Java index and the update files under /public/) and the
// site's static files (/style/): whole files with "Last-Modified" from their times, for
// GET and HEAD.
class CDistributionFiles
{
public:
    CDistributionFiles(const CSite& site, CPageRenderer& renderer) : m_site(site), m_renderer(renderer) {}

    void Register(CHttpRouter& router);

    // Sends a file of the site (a real path) with its type and modification time.
    static bool SendFile(const std::string& path, const CHttpRequest& request, CHttpResponse& response);
    static std::string HttpDate(long long secondsSinceEpoch);
    static std::string MediaTypeOf(const std::string& path);

private:
    void Serve(const std::string& folder, const std::string& relative, const CHttpRequest& request,
               CHttpResponse& response);

    const CSite& m_site;
    CPageRenderer& m_renderer;
};
