#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "ServerOptions.h"

class CAccessLog;
class CLookupDatabase;

// The component lookup server: a greeting, then one answer per request line.
//   GETCOUNT <prefix>  ->  "200 <components with classes under prefix>"
//   GETSCID <class>    ->  "200 <SCID>" per component holding the class, then "201 end of list"
//   QUIT               ->  "221 goodbye", and the connection closes
// Lines longer than kMaxLine, and clients silent for the idle time, are dropped.
class CLookupServer
{
public:
    CLookupServer(const CLookupDatabase& database, CAccessLog& log, int idleTimeoutSeconds);
    ~CLookupServer();
    CLookupServer(const CLookupServer&) = delete;
    CLookupServer& operator=(const CLookupServer&) = delete;

    bool Start(const CListenAddress& address, std::string& error);
    // Closes the listener and every connection, and waits for them.
    void Stop();
    int Port() const { return m_port; }

    // The answer to one request line (line feed removed); close is set when the connection
    // is to end after it.
    std::string Answer(std::string_view line, bool& close) const;

    static constexpr size_t kMaxLine = 1024;
    static constexpr int kMaxConnections = 64;
    static constexpr const char* kGreeting = "220 vantrel-server component lookup ready\n";

private:
    void AcceptLoop();
    void Serve(int socket, std::string client);

    const CLookupDatabase& m_database;
    CAccessLog& m_log;
    int m_idleTimeoutMs;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};  // the write end closes on Stop, which wakes every poll
    int m_port = 0;
    std::thread m_acceptThread;
    std::mutex m_mutex;
    std::condition_variable m_idle;
    int m_connections = 0;
};
