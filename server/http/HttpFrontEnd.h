#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "HttpRouter.h"
#include "ServerOptions.h"

class CAccessLog;

// Fills response with the site's page for an error status and its message.
using CErrorPage = std::function<void(CHttpResponse& response, int status, const std::string& message)>;

// The HTTP listener every web server of the site shares. Connections are served
// asynchronously, so a slow or silent client holds a connection slot, never a thread; the
// limits below bound what one client can make the server read, keep or send.
class CHttpFrontEnd
{
public:
    CHttpFrontEnd(CAccessLog& log, CErrorPage errorPage, const CServerOptions& options);
    ~CHttpFrontEnd();
    CHttpFrontEnd(const CHttpFrontEnd&) = delete;
    CHttpFrontEnd& operator=(const CHttpFrontEnd&) = delete;

    CHttpRouter& Router() { return m_router; }

    // Binds and starts serving on threads of its own; the port actually bound after.
    bool Start(const CListenAddress& address, std::string& error);
    // Serves on a socket already listening (one a service manager passed), which it takes.
    bool Start(int listeningSocket, std::string& error);
    // Takes no more connections; those open go on. Connections still in the listener's
    // backlog wait there for whoever else holds the socket.
    void StopAccepting();
    // True once every request whose head came in has had its answer written; connections that
    // have sent nothing or half a head count as CDrainCount says, those idle between requests
    // not at all.
    bool WaitUntilIdle(std::chrono::steady_clock::time_point deadline);
    // Closes the listener and every connection and waits for the threads.
    void Stop();
    int Port() const { return m_port; }

    // Largest request body accepted (the Testing page's uploads, report forms), with or
    // without a Content-Length.
    static constexpr size_t kMaxBody = 32 * 1024 * 1024;
    // Request line and header fields together; each field, and the request target.
    static constexpr size_t kMaxHead = 64 * 1024;
    static constexpr size_t kMaxField = 8 * 1024;
    static constexpr size_t kMaxTarget = 8 * 1024;
    static constexpr size_t kMaxFields = 100;
    // Slowest transfer of a body, either way, before the connection is dropped (bytes/s).
    static constexpr size_t kMinRate = 8 * 1024;

    struct CImpl;

private:
    CHttpRouter m_router;
    std::unique_ptr<CImpl> m_impl;
    int m_port = 0;
};
