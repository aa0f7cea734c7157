#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "PrefixCache.h"

// A TCP connection to the component lookup server, which maps class names to component
// identifiers (SCIDs) with two line requests, "GETCOUNT <prefix>" and "GETSCID <class>".
// Diagnostics go to standard output only, as the server's operators expect them there.
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
    CReadResult ReadSome(char* buffer, size_t size, size_t& received, Clock::time_point deadline);

    CPrefixCache& m_cache;
    int m_socket = -1;
    std::chrono::milliseconds m_timeLimit{10000};
};
