#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A loopback server that speaks HTTP only as far as a test scripts it: it records the
// head of every request exactly as it arrived and lets the test write the raw answer
// (duplicate headers, a body cut short, a stall). One connection at a time; each is
// closed after its answer.
class CRawHttpServer
{
public:
    // Writes the answer to one request; head is the request up to the empty line.
    using Handler = std::function<void(CRawHttpServer& server, int fd, const std::string& head)>;

    explicit CRawHttpServer(Handler handler);
    ~CRawHttpServer();
    CRawHttpServer(const CRawHttpServer&) = delete;
    CRawHttpServer& operator=(const CRawHttpServer&) = delete;

    int Port() const { return m_port; }
    std::vector<std::string> Heads() const;

    // For handlers. False once the client has gone away.
    static bool Send(int fd, const std::string& data);
    // Sleeps unless the server is being stopped; false when it is.
    bool Pause(std::chrono::milliseconds duration);

private:
    void Serve();

    Handler m_handler;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_heads;
    std::thread m_thread;
};
