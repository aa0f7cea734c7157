#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A lookup server on loopback that answers each request line from a script and records
// what it received. One client at a time; a new connection gets the greeting again.
class CScriptedLookupServer
{
public:
    struct CReply
    {
        enum class CAfter
        {
            Stay,   // keep the connection and wait for the next request
            Close,  // close the connection after the chunks
        };
        // Each chunk is sent on its own, with a pause before the next so that the client
        // reads it separately.
        std::vector<std::string> chunks;
        CAfter after = CAfter::Stay;
    };

    explicit CScriptedLookupServer(std::string greeting = "220 lookup server ready\n");
    ~CScriptedLookupServer();
    CScriptedLookupServer(const CScriptedLookupServer&) = delete;
    CScriptedLookupServer& operator=(const CScriptedLookupServer&) = delete;

    int Port() const { return m_port; }

    // The reply to a request line (without its line feed). Unscripted requests get
    // "200 0" for GETCOUNT, "201" for GETSCID and GETFP and "500" for anything else; an
    // empty chunk list is silence.
    void Answer(const std::string& request, CReply reply);
    void Answer(const std::string& request, const std::string& text) { Answer(request, CReply{{text}}); }
    // GETCOUNT of every listed prefix answers count.
    void Count(const std::vector<std::string>& prefixes, int count);

    // Takes "BATCH <n>" as a server that knows batches does: the n lines that follow are
    // answered one by one as scripted, and the header itself gets no answer.
    void TakeBatches() { m_batches = true; }

    std::vector<std::string> Requests() const;
    int Connections() const { return m_connections; }

    static constexpr std::chrono::milliseconds kChunkPause{60};

private:
    void Run();
    void Serve(int client);
    CReply ReplyTo(const std::string& request) const;

    std::string m_greeting;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::atomic<bool> m_batches{false};
    mutable std::mutex m_mutex;
    std::map<std::string, CReply> m_script;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};
