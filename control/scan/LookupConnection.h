#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Diagnostics.h"
#include "LookupService.h"
#include "PrefixCache.h"

// A TCP connection to the component lookup server, which maps class names to component
// identifiers (SCIDs) with two line requests, "GETCOUNT <prefix>" and "GETSCID <class>",
// and class fingerprints to catalogued versions with "GETFP <fingerprint>". Many requests
// go as one "BATCH <n>" where the server knows it; one that refuses it is asked request
// by request for the rest of the connection.
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
    // answers as much). The requests go out in batches (the server answers in order), at
    // most the rate limit a second, a batch counting as one. False when the connection
    // failed; the names answered before are in found, the others are not.
    bool FindScidsPipelined(const std::vector<std::string>& classNames,
                            std::map<std::string, std::vector<std::string>>& found);
    // The catalogued versions of many class fingerprints, in batches as above.
    bool FindVersionsPipelined(const std::vector<uint64_t>& fingerprints,
                               std::unordered_map<uint64_t, std::vector<CFingerprintHit>>& found);
    // Requests per second the pipelined lookups send at most; 0 for no limit.
    void SetRateLimit(int requestsPerSecond) { m_rate = requestsPerSecond; }
    // Requests sent since the connection was made, as the server counts them: a batch the
    // server took is one.
    size_t GetRequestCount() const { return m_requests; }

    void SetDiagnostics(CDiagnostics diagnostics) { m_diagnostics = std::move(diagnostics); }

    // How long connecting, the greeting and each whole reply may take.
    void SetTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }

    // Bounds on what one reply may bring, far above what a real catalogue answers (a few
    // SCIDs of a few characters per class).
    static constexpr size_t kMaxReplySize = 64 * 1024;
    static constexpr size_t kMaxScidLength = 256;
    static constexpr size_t kMaxScids = 1000;
    // Versions of one fingerprint; a version name as long as a SCID.
    static constexpr size_t kMaxHits = 1000;
    static constexpr size_t kMaxVersionLength = 256;
    // Requests in one batch, and what all its answers may bring together.
    static constexpr size_t kMaxBatch = 1000;
    static constexpr size_t kMaxBatchReplySize = 4 * 1024 * 1024;
    // The longest request line the server takes, without its line feed.
    static constexpr size_t kMaxRequestLine = 1024;

private:
    using Clock = std::chrono::steady_clock;
    enum class CReadResult
    {
        Data,
        Closed,
        Failed,
    };
    enum class CBatching
    {
        Unknown,  // not tried on this connection yet
        Known,
        Refused,
    };
    // Takes one line of the answer to request index: More until the answer is whole (End),
    // OutOfBounds for a flood.
    enum class CTaken
    {
        More,
        End,
        OutOfBounds,
        Unreadable,
    };
    using CTake = std::function<CTaken(size_t index, const std::string& line)>;

    std::optional<int> QueryCount(const std::string& prefix);
    bool ReadScids(std::vector<std::string>& scids);
    // requests: how many the server counts in it.
    bool SendRequest(const std::string& request, size_t requests = 1);
    // The pipelined side: questions in batches (or groups of single requests where the
    // server refused a batch), answers read line by line in order.
    bool AskCounts(const std::vector<std::string>& prefixes);
    bool AskScids(const std::vector<std::string>& classNames, std::map<std::string, std::vector<std::string>>& found);
    bool AskAll(const std::string& verb, const std::vector<std::string>& arguments, const CTake& take);
    bool SendGroup(const std::string& verb, const std::vector<std::string>& arguments, size_t first, size_t count);
    // Reads the first line of a batch's answers: a refusal means a server without batches.
    bool CheckBatchTaken(size_t count, Clock::time_point deadline);
    bool ReadLine(std::string& line, Clock::time_point deadline);
    void Pace(size_t requests);
    void Diagnostic(const char* text) const;
    CReadResult ReadSome(char* buffer, size_t size, size_t& received, Clock::time_point deadline);

    CPrefixCache& m_cache;
    CDiagnostics m_diagnostics = WriteToStandardOutput;
    int m_socket = -1;
    std::chrono::milliseconds m_timeLimit{10000};
    std::string m_unread;  // what arrived after the last line taken (pipelined side only)
    CBatching m_batching = CBatching::Unknown;
    int m_rate = 0;
    size_t m_requests = 0;
    size_t m_paced = 0;
    Clock::time_point m_paceStart{};
};
