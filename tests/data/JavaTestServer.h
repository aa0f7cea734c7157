#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

// The vendor's web servers for the Java tests: a loopback HTTP server that answers fixed
// documents by path, records every request target (path and query as sent) and can hold
// one request back until the test releases it.
class CJavaTestServer
{
public:
    CJavaTestServer();
    ~CJavaTestServer();
    CJavaTestServer(const CJavaTestServer&) = delete;
    CJavaTestServer& operator=(const CJavaTestServer&) = delete;

    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    int Port() const { return m_port; }

    // Answers GET and HEAD of path (query ignored) with body; other paths get 404, or the
    // fallback when one is set.
    void Serve(const std::string& path, const std::string& body, const std::string& lastModified = "");
    void ServeAnythingElse(const std::string& body);

    // Holds back the request with this number (1 = first) until Release.
    void HoldRequest(int number);
    // Waits until the held request has arrived.
    bool WaitForHeldRequest();
    void Release();

    // "GET /path?query" per request, in arrival order.
    std::vector<std::string> Requests() const;
    // Targets ("/path?query") of the GET requests.
    std::vector<std::string> GetTargets() const;
    void ClearRequests();

private:
    struct CAnswer
    {
        std::string body;
        std::string lastModified;
    };

    void Answer(const httplib::Request& request, httplib::Response& response);

    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, CAnswer> m_answers;
    std::string m_fallback;
    bool m_hasFallback = false;
    std::vector<std::string> m_requests;
    int m_holdNumber = 0;
    bool m_heldArrived = false;
    bool m_released = false;
};
