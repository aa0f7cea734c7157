#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>

#include "DrainCount.h"
#include "ServerOptions.h"

class CAccessLog;
class CFingerprintTable;
class CLookupDatabase;

// What one lookup client may hold. Only request lines count as activity: empty lines, a
// trickle of bytes or a client that does not read its answers keep nothing open.
struct CLookupLimits
{
    int idleSeconds = 10;       // silence, and the time an answer may take to be taken
    int lifetimeSeconds = 600;  // a whole connection, however busy
    int maxConnections = 64;
    int maxPerClient = 8;  // connections from one address
};

// The component lookup server: a greeting, then one answer per request line.
//   GETCOUNT <prefix>  ->  "200 <components with classes under prefix>"
//   GETSCID <class>    ->  "200 <SCID>" per component holding the class, then "201 end of list"
//   GETFP <16 hex digits> -> "200 <SCID> <version>" per catalogued version holding a class
//                         with that fingerprint, then "201 end of list"
//   BATCH <n>          ->  the answers to the n request lines that follow (GETCOUNT, GETSCID
//                         or GETFP), in order, as if each came alone; one request for every
//                         limit. A batch of more than kMaxBatch, or holding another verb, gets
//                         one 5xx line and nothing else.
//   QUIT               ->  "221 goodbye", and the connection closes
// Lines longer than kMaxLine, and clients past their limits, are dropped.
class CLookupServer
{
public:
    CLookupServer(const CLookupDatabase& database, CAccessLog& log, int idleTimeoutSeconds);
    CLookupServer(const CLookupDatabase& database, CAccessLog& log, const CLookupLimits& limits);
    ~CLookupServer();
    CLookupServer(const CLookupServer&) = delete;
    CLookupServer& operator=(const CLookupServer&) = delete;

    bool Start(const CListenAddress& address, std::string& error);
    // Serves on a socket already listening (one a service manager passed), which it takes.
    bool Start(int listeningSocket, std::string& error);
    // Takes no more connections. Those open have the requests they sent answered, then
    // close; one that has sent none yet may still send its first. A client that does not
    // take its answers is given CDrainCount::kPartialGrace.
    void StopAccepting();
    // True once every request that came in is answered; connections that have sent nothing or
    // half a line count as CDrainCount says.
    bool WaitUntilIdle(std::chrono::steady_clock::time_point deadline);
    // Closes the listener and every connection, and waits for them.
    void Stop();
    int Port() const { return m_port; }

    // The table GETFP answers from; without one every fingerprint is unknown. The table
    // must outlive the server or the next call.
    void SetFingerprints(const CFingerprintTable* table) { m_fingerprints = table; }
    const CFingerprintTable* Fingerprints() const { return m_fingerprints; }

    // The answer to one request line (line feed removed); close is set when the connection
    // is to end after it.
    std::string Answer(std::string_view line, bool& close) const;

    static constexpr size_t kMaxLine = 1024;
    static constexpr size_t kMaxBatch = 1000;
    static constexpr const char* kGreeting = "220 vantrel-server component lookup ready\n";

private:
    bool Serve(std::string& error);
    void AcceptLoop();
    // Admits a connection within the limits; the reason when it is turned away.
    std::string Admit(int socket, const std::string& client);
    void Serve(int socket, std::string client);
    // Sends the whole answer unless the client stops taking it for the idle time or the
    // server stops.
    bool SendAll(int socket, std::string_view data);

    struct CBatch;
    // The answer to a line on a connection whose batch so far is batch: empty while a batch
    // is being read. logged: the request as the access log names it.
    std::string AnswerLine(CBatch& batch, std::string_view line, std::string& logged, bool& close) const;
    // The verb in upper case and its argument without the blanks around it.
    static std::string_view Split(std::string_view line, std::string& command);
    std::string AnswerFingerprint(std::string_view argument) const;

    const CLookupDatabase& m_database;
    std::atomic<const CFingerprintTable*> m_fingerprints{nullptr};
    CAccessLog& m_log;
    CLookupLimits m_limits;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};  // the write end closes on Stop, which wakes every poll
    int m_stopping[2] = {-1, -1};  // the write end closes on StopAccepting
    int m_port = 0;
    std::thread m_acceptThread;
    std::mutex m_mutex;
    std::condition_variable m_idle;
    std::set<int> m_sockets;  // open connections, shut down by Stop
    CDrainCount m_drain;
    std::map<std::string, int> m_perClient;
};
