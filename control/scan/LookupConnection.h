#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Diagnostics.h"
#include "PrefixCache.h"

// A TCP connection to the component lookup server, which maps class names to component
// identifiers (SCIDs) with two line requests, "GETCOUNT <prefix>" and "GETSCID <class>".
// Diagnostics go to standard output, as the server's operators expect them there, unless
// SetDiagnostics names another place.
//
// A request that fails (no answer within the time limit, a read error, the server closing,
// a reply out of bounds) closes the connection: a late reply would otherwise be read as
// the answer to the next request. Later requests then fail at once.
class CLookupConnection
{
public:
    explicit CLookupConnection(CPrefixCache& cache = CPrefixCache::Process());
    ~CLookupConnection();
    CLookupConnection(const CLookupConnection&) = delete;
    CLookupConnection& operator=(const CLookupConnection&) = delete;

    // True when connected; the greeting is read and discarded (a failed read is only
    // reported). server is a host name or address.
    bool Connect(const std::string& server, int port);
    void Close();
    bool IsConnected() const { return m_socket >= 0; }

    // The number of components with classes under prefix; 0 on any failure.
    int GetCount(const std::string& prefix);
    // The SCIDs of the components holding className, in the server's order. False when
    // the lookup could not be completed; scids then holds what arrived before, except after
    // a reply out of bounds, which contributes nothing.
    bool FindScids(const std::string& className, std::vector<std::string>& scids);

    // The SCIDs of many class names, each asked once, as FindScids answers them name by
    // name; the packages of a name are counted first, the name itself is not (its GETSCID
    // answers as much). The requests go out in groups without waiting for each answer (the
    // server answers in order), at most the rate limit a second. False when the connection
    // failed; the names answered before are in found, the others are not.
    bool FindScidsPipelined(const std::vector<std::string>& classNames,
                            std::map<std::string, std::vector<std::string>>& found);
    // Requests per second the pipelined lookups send at most; 0 for no limit.
    void SetRateLimit(int requestsPerSecond) { m_rate = requestsPerSecond; }
    // Requests sent since the connection was made.
    size_t GetRequestCount() const { return m_requests; }

    void SetDiagnostics(CDiagnostics diagnostics) { m_diagnostics = std::move(diagnostics); }

    // How long connecting, the greeting and each whole reply may take.
    void SetTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }

    // Bounds on what one reply may bring, far above what a real catalogue answers (a few
    // SCIDs of a few characters per class).
    static constexpr size_t kMaxReplySize = 64 * 1024;
    static constexpr size_t kMaxScidLength = 256;
    static constexpr size_t kMaxScids = 1000;

private:
    using Clock = std::chrono::steady_clock;
    enum class CReadResult
    {
        Data,
        Closed,
        Failed,
    };

    std::optional<int> QueryCount(const std::string& prefix);
    bool ReadScids(std::vector<std::string>& scids);
    bool SendRequest(const std::string& request);
    // The pipelined side: questions in groups, answers read line by line in order.
    bool AskCounts(const std::vector<std::string>& prefixes);
    bool AskScids(const std::vector<std::string>& classNames, std::map<std::string, std::vector<std::string>>& found);
    bool SendGroup(const std::string& verb, const std::vector<std::string>& arguments, size_t first, size_t count);
    bool ReadLine(std::string& line, Clock::time_point deadline);
    void Pace(size_t requests);
    void Diagnostic(const char* text) const;
    CReadResult ReadSome(char* buffer, size_t size, size_t& received, Clock::time_point deadline);

    CPrefixCache& m_cache;
    CDiagnostics m_diagnostics = WriteToStandardOutput;
    int m_socket = -1;
    std::chrono::milliseconds m_timeLimit{10000};
    std::string m_unread;  // what arrived after the last line taken (pipelined side only)
    int m_rate = 0;
    size_t m_requests = 0;
    size_t m_paced = 0;
    Clock::time_point m_paceStart{};
};
