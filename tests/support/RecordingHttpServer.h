#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

struct CRecordedRequest
{
    std::string method;
    std::string path;
    httplib::Headers headers;
};

// A cpp-httplib server on a free loopback port that records every request it is sent.
// Register handlers on Server(), then Start(); the destructor stops it.
class CRecordingHttpServer
{
public:
    CRecordingHttpServer();
    ~CRecordingHttpServer();
    CRecordingHttpServer(const CRecordingHttpServer&) = delete;
    CRecordingHttpServer& operator=(const CRecordingHttpServer&) = delete;

    httplib::Server& Server() { return m_server; }
    void Start();
    int Port() const { return m_port; }

    std::vector<CRecordedRequest> Requests() const;
    // "HEAD /a, GET /a" style summary of the requests so far.
    std::string RequestLine() const;

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<CRecordedRequest> m_requests;
};
