#include "HttpRouter.h"

void CHttpRouter::Add(const std::string& method, const std::string& pattern, CHttpHandler handler)
{
    if (pattern.find_first_of("\\()[]*+?^$|") == std::string::npos)
        m_exact[method + " " + pattern] = std::move(handler);
    else
        m_patterns.push_back({method, std::regex(pattern), std::move(handler)});
}

const CHttpHandler* CHttpRouter::Find(const std::string& method, CHttpRequest& request) const
{
    auto exact = m_exact.find(method + " " + request.path);
    if (exact != m_exact.end()) {
        request.matches = {request.path};
        return &exact->second;
    }
    for (const auto& route : m_patterns) {
        std::smatch found;
        if (route.method == method && std::regex_match(request.path, found, route.pattern)) {
            request.matches.assign(found.begin(), found.end());
            return &route.handler;
        }
    }
    return nullptr;
}

bool CHttpRouter::Dispatch(CHttpRequest& request, CHttpResponse& response) const
{
    std::string method = request.method == "HEAD" ? "GET" : request.method;
    if (const CHttpHandler* handler = Find(method, request)) {
        (*handler)(request, response);
        return true;
    }
    bool otherMethod = false;
    for (const char* other : {"GET", "POST"})
        if (method != other && Find(other, request))
            otherMethod = true;
    request.matches.clear();
    response.status = otherMethod ? 405 : 404;
    return false;
}
