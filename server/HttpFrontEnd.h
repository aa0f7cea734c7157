#pragma once

#include <memory>
#include <string>
#include <thread>

#include "ServerOptions.h"

namespace httplib
{
class Server;
}
class CAccessLog;
class CPageRenderer;

// The HTTP listener every web server of the site shares: limits on what a client may send
// and how long it may stay silent, the worker threads, the access log and error pages.
class CHttpFrontEnd
{
public:
    CHttpFrontEnd(CAccessLog& log, CPageRenderer& renderer, const CServerOptions& options);
    ~CHttpFrontEnd();

    httplib::Server& Server() { return *m_server; }

    // Binds and starts serving on a thread of its own; the port actually bound after.
    bool Start(const CListenAddress& address, std::string& error);
    void Stop();
    int Port() const { return m_port; }

    // Largest request body accepted (the Testing page's uploads).
    static constexpr size_t kMaxBody = 32 * 1024 * 1024;

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
};
