#pragma once

#include <functional>
#include <regex>
#include <string>
#include <unordered_map>
#include <vector>

#include "HttpRequest.h"
#include "HttpResponse.h"

using CHttpHandler = std::function<void(const CHttpRequest&, CHttpResponse&)>;

// Which handler answers which path: exact paths, or regular expressions over the whole
// decoded path whose groups land in the request's matches. HEAD is answered as GET.
class CHttpRouter
{
public:
    void Get(const std::string& pattern, CHttpHandler handler) { Add("GET", pattern, std::move(handler)); }
    void Post(const std::string& pattern, CHttpHandler handler) { Add("POST", pattern, std::move(handler)); }

    // Runs the handler of the request's method and path. Without one, false and the
    // status says why (404 no such path, 405 not with this method).
    bool Dispatch(CHttpRequest& request, CHttpResponse& response) const;

private:
    struct CPatternRoute
    {
        std::string method;
        std::regex pattern;
        CHttpHandler handler;
    };

    void Add(const std::string& method, const std::string& pattern, CHttpHandler handler);
    const CHttpHandler* Find(const std::string& method, CHttpRequest& request) const;

    std::unordered_map<std::string, CHttpHandler> m_exact;  // "METHOD path"
    std::vector<CPatternRoute> m_patterns;
};
