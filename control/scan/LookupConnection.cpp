#include "LookupConnection.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string_view>
#include <thread>
#include <unordered_set>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ErrorReport.h"
#include "SystemCalls.h"

namespace
{
constexpr const char* kSocketFail = "Socket Fail\n";
constexpr const char* kReadFail = "Socket Read fail\n";
constexpr size_t kReadSize = 1024;

// The number a text starts with, as atoi reads it, without atoi's overflow.
int LeadingNumber(const char* text)
{
    errno = 0;
    long value = std::strtol(text, nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

enum class CScidLine
{
    More,
    End,
    OutOfBounds,
};

// Takes one line of a GETSCID reply: "200 <SCID>" adds the SCID (a carriage return stays
// with it), "201" ends the reply; a SCID past the bounds makes the reply a flood.
CScidLine TakeScidLine(const std::string& line, std::vector<std::string>& scids)
{
    const int status = LeadingNumber(line.c_str());
    if (status == 200 && line.size() > 4) {
        if (line.size() - 4 > CLookupConnection::kMaxScidLength || scids.size() >= CLookupConnection::kMaxScids)
            return CScidLine::OutOfBounds;
        scids.push_back(line.substr(4));
    }
    return status == 201 ? CScidLine::End : CScidLine::More;
}

// A name with a line break (or another control character) would smuggle a second request
// into the line protocol.
bool FitsOneLine(std::string_view text)
{
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7f)
            return false;
    return true;
}

// com.acme.util.Parser gives com., com.acme., com.acme.util. and com.acme.util.Parser;
// empty tokens vanish.
std::vector<std::string> PrefixesOf(const std::string& className)
{
    std::vector<std::string> tokens;
    size_t start = 0;
    while (start <= className.size()) {
        size_t dot = className.find('.', start);
        if (dot == std::string::npos)
            dot = className.size();
        if (dot > start)
            tokens.push_back(className.substr(start, dot - start));
        start = dot + 1;
    }
    std::vector<std::string> prefixes;
    std::string prefix;
    for (size_t i = 0; i < tokens.size(); ++i) {
        prefix += tokens[i];
        if (i + 1 < tokens.size())
            prefix += '.';
        prefixes.push_back(prefix);
    }
    return prefixes;
}

int RemainingMs(std::chrono::steady_clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        return 0;
    return left.count() > INT_MAX ? INT_MAX : static_cast<int>(left.count());
}

// Waits until fd is ready for events or the deadline passes.
bool WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        pollfd entry{fd, events, 0};
        int ready = ::poll(&entry, 1, RemainingMs(deadline));
        if (ready > 0)
            return true;
        if (ready == 0)
            return false;
        if (errno != EINTR)
            return false;
    }
}

// Connects a non-blocking socket within the deadline.
bool ConnectWithin(int fd, const sockaddr* address, socklen_t length, std::chrono::steady_clock::time_point deadline)
{
    if (sys::connect(fd, address, length) == 0)
        return true;
    if (errno != EINPROGRESS && errno != EINTR)
        return false;
    if (!WaitFor(fd, POLLOUT, deadline))
        return false;
    int error = 0;
    socklen_t size = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}
}  // namespace

CLookupConnection::CLookupConnection(CPrefixCache& cache) : m_cache(cache) {}

CLookupConnection::~CLookupConnection() { Close(); }

void CLookupConnection::Diagnostic(const char* text) const { m_diagnostics(text); }

bool CLookupConnection::Connect(const std::string& server, int port)
{
    Close();
    m_requests = 0;
    m_paced = 0;
    m_batching = CBatching::Unknown;
    auto deadline = Clock::now() + m_timeLimit;

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* addresses = nullptr;
    bool resolved = port > 0 && port <= 65535 && !server.empty() &&
                    sys::getaddrinfo(server.c_str(), std::to_string(port).c_str(), &hints, &addresses) == 0;

    bool madeSocket = false;
    for (addrinfo* address = resolved ? addresses : nullptr; address && m_socket < 0; address = address->ai_next) {
        int fd = sys::socket(address->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            continue;
        madeSocket = true;
        if (ConnectWithin(fd, address->ai_addr, address->ai_addrlen, deadline))
            m_socket = fd;
        else
            ::close(fd);
    }
    if (addresses)
        ::freeaddrinfo(addresses);

    if (m_socket < 0) {
        Diagnostic(resolved && !madeSocket ? "stream socket() failed." : "Socket Connect Error.\n");
        return false;
    }

    char greeting[kReadSize];
    size_t received = 0;
    if (ReadSome(greeting, sizeof greeting, received, Clock::now() + m_timeLimit) != CReadResult::Data)
        Diagnostic(kReadFail);
    return true;
}

void CLookupConnection::Close()
{
    if (m_socket >= 0) {
        ::close(m_socket);
        m_socket = -1;
    }
    m_unread.clear();
}

int CLookupConnection::GetCount(const std::string& prefix) { return QueryCount(prefix).value_or(0); }

bool CLookupConnection::FindScids(const std::string& className, std::vector<std::string>& scids)
{
    scids.clear();
    if (!FitsOneLine(className))
        return true;
    std::vector<std::string> prefixes = PrefixesOf(className);
    // A name of dots only has nothing to ask about.
    if (prefixes.empty())
        return true;

    for (const std::string& prefix : prefixes) {
        std::optional<bool> known = m_cache.Find(prefix);
        if (known) {
            if (!*known)
                return true;
            continue;
        }
        std::optional<int> count = QueryCount(prefix);
        // An unanswered question is not an answer: caching it would hide the prefix from
        // every later scan of the process.
        if (!count)
            return false;
        m_cache.Add(prefix, *count >= 1);
        if (*count < 1)
            return true;
    }

    std::string request = "GETSCID " + className + "\n";
    DebugOutput(request);
    if (!SendRequest(request)) {
        Diagnostic(kSocketFail);
        return false;
    }
    return ReadScids(scids);
}

std::optional<int> CLookupConnection::QueryCount(const std::string& prefix)
{
    if (!FitsOneLine(prefix))
        return std::nullopt;
    if (!SendRequest("GETCOUNT " + prefix + "\n")) {
        Diagnostic(kSocketFail);
        return std::nullopt;
    }

    // One reply line; it may come in pieces.
    auto deadline = Clock::now() + m_timeLimit;
    std::string reply;
    char buffer[kReadSize];
    size_t lineEnd = std::string::npos;
    while (lineEnd == std::string::npos) {
        size_t received = 0;
        CReadResult result = ReadSome(buffer, sizeof buffer, received, deadline);
        if (result == CReadResult::Closed && !reply.empty()) {
            // The server said its last word; the reply stands without its line feed.
            Close();
            break;
        }
        if (result != CReadResult::Data || reply.size() + received > kMaxReplySize) {
            Diagnostic(kReadFail);
            Close();
            return std::nullopt;
        }
        reply.append(buffer, received);
        lineEnd = reply.find('\n');
    }
    if (lineEnd != std::string::npos)
        reply.erase(lineEnd);

    // "200 5": the status is not examined, the count starts at the fifth character.
    if (reply.size() < 5) {
        ReportError("count reply too short: " + reply, "CLookupConnection::GetCount");
        return std::nullopt;
    }
    return LeadingNumber(reply.c_str() + 4);
}

bool CLookupConnection::ReadScids(std::vector<std::string>& scids)
{
    auto deadline = Clock::now() + m_timeLimit;
    std::string pending;
    size_t replySize = 0;  // bytes of the lines taken so far
    char buffer[kReadSize];

    // A flood is no answer: nothing of it is kept.
    auto outOfBounds = [&]() {
        ReportError("reply out of bounds", "CLookupConnection::FindScids");
        Close();
        scids.clear();
        return false;
    };

    for (;;) {
        size_t received = 0;
        CReadResult result = ReadSome(buffer, sizeof buffer, received, deadline);
        if (result != CReadResult::Data) {
            // A last line may lack its line feed when the server closes after it.
            CScidLine last = result == CReadResult::Closed ? TakeScidLine(pending, scids) : CScidLine::More;
            if (last == CScidLine::OutOfBounds)
                return outOfBounds();
            Close();
            if (last == CScidLine::End)
                return true;
            Diagnostic(kReadFail);
            return false;
        }
        pending.append(buffer, received);

        size_t start = 0;
        for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n', start)) {
            std::string line = pending.substr(start, end - start);
            replySize += end + 1 - start;
            start = end + 1;
            if (replySize > kMaxReplySize)
                return outOfBounds();
            // Whatever follows the end line is not part of any reply.
            CScidLine taken = TakeScidLine(line, scids);
            if (taken == CScidLine::End)
                return true;
            if (taken == CScidLine::OutOfBounds)
                return outOfBounds();
        }
        pending.erase(0, start);
        if (replySize + pending.size() > kMaxReplySize)
            return outOfBounds();
    }
}

bool CLookupConnection::SendRequest(const std::string& request, size_t requests)
{
    if (m_socket < 0)
        return false;
    m_requests += requests;
    auto deadline = Clock::now() + m_timeLimit;
    std::string_view rest = request;
    while (!rest.empty()) {
        ssize_t sent = sys::send(m_socket, rest.data(), rest.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            rest.remove_prefix(static_cast<size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(m_socket, POLLOUT, deadline))
            continue;
        Close();
        return false;
    }
    return true;
}

CLookupConnection::CReadResult CLookupConnection::ReadSome(char* buffer, size_t size, size_t& received,
                                                           Clock::time_point deadline)
{
    received = 0;
    if (m_socket < 0)
        return CReadResult::Failed;
    for (;;) {
        ssize_t n = sys::recv(m_socket, buffer, size, 0);
        if (n > 0) {
            received = static_cast<size_t>(n);
            return CReadResult::Data;
        }
        if (n == 0)
            return CReadResult::Closed;
        if (errno == EINTR)
            continue;
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(m_socket, POLLIN, deadline))
            continue;
        return CReadResult::Failed;
    }
}

bool CLookupConnection::FindScidsPipelined(const std::vector<std::string>& classNames,
                                           std::map<std::string, std::vector<std::string>>& found)
{
    struct CName
    {
        const std::string* name;
        std::vector<std::string> prefixes;
        size_t next = 0;  // the first prefix without a known answer
    };
    std::vector<CName> open;
    std::set<std::string> seen;
    for (const std::string& name : classNames) {
        if (!seen.insert(name).second)
            continue;
        // A name the server could not take in one line, or that is all blanks (it would be
        // asked with no argument), has nothing to find.
        const bool askable = FitsOneLine(name) && name.size() + 9 <= kMaxRequestLine &&
                             name.find_first_not_of(' ') != std::string::npos;
        std::vector<std::string> prefixes = askable ? PrefixesOf(name) : std::vector<std::string>{};
        if (prefixes.empty()) {
            found[name] = {};
            continue;
        }
        // The whole name is not counted first: its GETSCID answers as much in one request.
        if (prefixes.size() > 1)
            prefixes.pop_back();
        open.push_back({&name, std::move(prefixes)});
    }

    // Rounds of counts: every open name's first prefix without an answer, each asked once.
    std::vector<std::string> ready;
    for (;;) {
        std::vector<std::string> questions;
        std::set<std::string> asked;
        std::vector<CName> stillOpen;
        for (CName& entry : open) {
            std::optional<bool> known;
            while (entry.next < entry.prefixes.size() && (known = m_cache.Find(entry.prefixes[entry.next])) &&
                   *known)
                ++entry.next;
            if (known && !*known) {
                found[*entry.name] = {};
            } else if (entry.next == entry.prefixes.size()) {
                ready.push_back(*entry.name);
            } else {
                if (asked.insert(entry.prefixes[entry.next]).second)
                    questions.push_back(entry.prefixes[entry.next]);
                stillOpen.push_back(std::move(entry));
            }
        }
        open = std::move(stillOpen);
        if (questions.empty())
            break;
        if (!AskCounts(questions))
            return false;
    }
    return AskScids(ready, found);
}

namespace
{
// Requests in flight at once where no batch is taken: the server's answers to them wait in
// the socket buffers.
constexpr size_t kGroupSize = 64;

// "0123456789abcdef", as the server's table names a fingerprint.
std::string FingerprintText(uint64_t fingerprint)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(fingerprint));
    return text;
}
}  // namespace

bool CLookupConnection::FindVersionsPipelined(const std::vector<uint64_t>& fingerprints,
                                              std::unordered_map<uint64_t, std::vector<CFingerprintHit>>& found)
{
    std::vector<uint64_t> asked;
    std::vector<std::string> arguments;
    std::unordered_set<uint64_t> seen;
    for (uint64_t fingerprint : fingerprints)
        if (!found.count(fingerprint) && seen.insert(fingerprint).second) {
            asked.push_back(fingerprint);
            arguments.push_back(FingerprintText(fingerprint));
        }
    std::vector<CFingerprintHit> hits;
    return AskAll("GETFP", arguments, [&](size_t index, const std::string& line) {
        const int status = LeadingNumber(line.c_str());
        if (status == 201) {
            found[asked[index]] = std::exchange(hits, {});
            return CTaken::End;
        }
        if (status != 200 || line.size() <= 4)
            return CTaken::More;
        // "200 <SCID> <version>"; a line without both is no hit.
        std::string_view rest(line);
        rest.remove_prefix(4);
        if (!rest.empty() && rest.back() == '\r')
            rest.remove_suffix(1);
        const size_t space = rest.find(' ');
        if (space == 0 || space == std::string_view::npos || space + 1 == rest.size())
            return CTaken::More;
        if (space > kMaxScidLength || rest.size() - space - 1 > kMaxVersionLength || hits.size() >= kMaxHits)
            return CTaken::OutOfBounds;
        hits.push_back({std::string(rest.substr(0, space)), std::string(rest.substr(space + 1))});
        return CTaken::More;
    });
}

bool CLookupConnection::AskCounts(const std::vector<std::string>& prefixes)
{
    return AskAll("GETCOUNT", prefixes, [&](size_t index, const std::string& reply) {
        if (reply.size() < 5)
            return CTaken::Unreadable;
        m_cache.Add(prefixes[index], LeadingNumber(reply.c_str() + 4) >= 1);
        return CTaken::End;
    });
}

bool CLookupConnection::AskScids(const std::vector<std::string>& classNames,
                                 std::map<std::string, std::vector<std::string>>& found)
{
    std::vector<std::string> scids;
    return AskAll("GETSCID", classNames, [&](size_t index, const std::string& line) {
        switch (TakeScidLine(line, scids)) {
        case CScidLine::End:
            found[classNames[index]] = std::exchange(scids, {});
            return CTaken::End;
        case CScidLine::OutOfBounds:
            return CTaken::OutOfBounds;
        case CScidLine::More:
            break;
        }
        return CTaken::More;
    });
}

bool CLookupConnection::AskAll(const std::string& verb, const std::vector<std::string>& arguments, const CTake& take)
{
    for (size_t first = 0; first < arguments.size();) {
        // Until the server has taken a batch, a small one: a server without batches answers
        // its lines one by one.
        const size_t count = std::min(m_batching == CBatching::Known ? kMaxBatch : kGroupSize, arguments.size() - first);
        if (!SendGroup(verb, arguments, first, count))
            return false;
        auto deadline = Clock::now() + m_timeLimit;
        if (m_batching == CBatching::Unknown && !CheckBatchTaken(count, deadline))
            return false;
        size_t batchSize = 0;
        for (size_t i = first; i < first + count; ++i) {
            size_t replySize = 0;
            CTaken taken = CTaken::More;
            while (taken == CTaken::More) {
                std::string line;
                if (!ReadLine(line, deadline)) {
                    taken = CTaken::Unreadable;
                    break;
                }
                replySize += line.size() + 1;
                batchSize += line.size() + 1;
                // A flood is no answer: the connection goes, and nothing of it is kept.
                taken = replySize > kMaxReplySize || batchSize > kMaxBatchReplySize ? CTaken::OutOfBounds : take(i, line);
            }
            if (taken == CTaken::OutOfBounds)
                ReportError("reply out of bounds", "CLookupConnection::" + verb);
            if (taken == CTaken::Unreadable)
                Diagnostic(kReadFail);
            if (taken != CTaken::End) {
                Close();
                return false;
            }
        }
        first += count;
    }
    return true;
}

bool CLookupConnection::CheckBatchTaken(size_t count, Clock::time_point deadline)
{
    std::string line;
    if (!ReadLine(line, deadline)) {
        Diagnostic(kReadFail);
        Close();
        return false;
    }
    // No answer to a request the client sends starts with 5xx, so this is the server
    // refusing the verb; it then answers the batch's lines as requests of their own.
    const int status = LeadingNumber(line.c_str());
    if (status >= 500 && status <= 599) {
        m_batching = CBatching::Refused;
        m_requests += count;
    } else {
        m_batching = CBatching::Known;
        m_unread.insert(0, line + "\n");
    }
    return true;
}

bool CLookupConnection::SendGroup(const std::string& verb, const std::vector<std::string>& arguments, size_t first,
                                  size_t count)
{
    std::string requests;
    if (m_batching != CBatching::Refused)
        requests = "BATCH " + std::to_string(count) + "\n";
    for (size_t i = first; i < first + count; ++i)
        requests += verb + " " + arguments[i] + "\n";
    // A batch is one request; the first is paced as its lines, in case the server does
    // not know batches.
    Pace(m_batching == CBatching::Known ? 1 : m_batching == CBatching::Unknown ? count + 1 : count);
    if (!SendRequest(requests, m_batching == CBatching::Refused ? count : 1)) {
        Diagnostic(kSocketFail);
        return false;
    }
    return true;
}

void CLookupConnection::Pace(size_t requests)
{
    if (m_rate <= 0)
        return;
    if (m_paced == 0)
        m_paceStart = Clock::now();
    // The group goes when the requests before it have had their share of time.
    auto due = m_paceStart + std::chrono::microseconds(m_paced * 1000000 / static_cast<size_t>(m_rate));
    std::this_thread::sleep_until(due);
    m_paced += requests;
}

bool CLookupConnection::ReadLine(std::string& line, Clock::time_point deadline)
{
    char buffer[kReadSize];
    for (;;) {
        if (size_t end = m_unread.find('\n'); end != std::string::npos) {
            line.assign(m_unread, 0, end);
            m_unread.erase(0, end + 1);
            return true;
        }
        if (m_unread.size() > kMaxReplySize)
            return false;
        size_t received = 0;
        CReadResult result = ReadSome(buffer, sizeof buffer, received, deadline);
        if (result == CReadResult::Closed && !m_unread.empty()) {
            // The server's last word may lack its line feed.
            line = std::move(m_unread);
            m_unread.clear();
            return true;
        }
        if (result != CReadResult::Data)
            return false;
        m_unread.append(buffer, received);
    }
}
