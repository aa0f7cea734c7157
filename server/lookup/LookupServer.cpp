#include "LookupServer.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "AccessLog.h"
#include "FingerprintTable.h"
#include "LookupDatabase.h"

namespace
{
using Clock = std::chrono::steady_clock;

std::string PeerName(const sockaddr_storage& address)
{
    char host[NI_MAXHOST] = "?";
    ::getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, host, sizeof host, nullptr, 0,
                  NI_NUMERICHOST);
    return host;
}

std::string FirstLine(const std::string& answer)
{
    return answer.substr(0, answer.find('\n'));
}

bool Batchable(const std::string& command) { return command == "GETCOUNT" || command == "GETSCID" || command == "GETFP"; }
}  // namespace

// The lines of a batch as they arrive; a batch is answered when its last line is in.
struct CLookupServer::CBatch
{
    std::string header;
    size_t expected = 0;  // lines announced; 0 when no batch is open
    size_t discard = 0;   // lines of a refused batch still to come
    std::vector<std::string> lines;
};

CLookupServer::CLookupServer(const CLookupDatabase& database, CAccessLog& log, int idleTimeoutSeconds)
    : CLookupServer(database, log, CLookupLimits{.idleSeconds = idleTimeoutSeconds})
{
}

CLookupServer::CLookupServer(const CLookupDatabase& database, CAccessLog& log, const CLookupLimits& limits)
    : m_database(database), m_log(log), m_limits(limits)
{
}

CLookupServer::~CLookupServer() { Stop(); }

bool CLookupServer::Start(const CListenAddress& address, std::string& error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    std::string port = std::to_string(address.port);
    if (::getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
        error = "cannot resolve the lookup address " + address.host;
        return false;
    }
    for (addrinfo* candidate = found; candidate && m_listen < 0; candidate = candidate->ai_next) {
        int fd = ::socket(candidate->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            continue;
        int yes = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(fd, candidate->ai_addr, candidate->ai_addrlen) == 0 && ::listen(fd, 64) == 0)
            m_listen = fd;
        else
            ::close(fd);
    }
    ::freeaddrinfo(found);
    if (m_listen < 0) {
        error = "cannot listen for lookups on " + address.host + ":" + port + " (address in use or not on this machine)";
        return false;
    }
    return Serve(error);
}

bool CLookupServer::Start(int listeningSocket, std::string& error)
{
    m_listen = listeningSocket;
    return Serve(error);
}

bool CLookupServer::Serve(std::string& error)
{
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&bound), &length);
    m_port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                               : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    if (::pipe2(m_wake, O_CLOEXEC) != 0 || ::pipe2(m_stopping, O_CLOEXEC) != 0) {
        error = "cannot create the lookup server's wake pipe";
        for (int fd : {m_listen, m_wake[0], m_wake[1]})
            if (fd >= 0)
                ::close(fd);
        m_listen = m_wake[0] = m_wake[1] = -1;
        return false;
    }
    m_acceptThread = std::thread([this] { AcceptLoop(); });
    return true;
}

void CLookupServer::StopAccepting()
{
    if (!m_acceptThread.joinable() || m_stopping[1] < 0)
        return;
    m_drain.Stopping();
    ::close(m_stopping[1]);
    m_stopping[1] = -1;
}

bool CLookupServer::WaitUntilIdle(std::chrono::steady_clock::time_point deadline)
{
    return m_drain.WaitUntilIdle(deadline);
}

void CLookupServer::Stop()
{
    if (!m_acceptThread.joinable())
        return;
    StopAccepting();
    ::close(m_wake[1]);
    m_wake[1] = -1;
    m_acceptThread.join();
    {
        std::unique_lock lock(m_mutex);
        // Every poll wakes on the closed pipe; shutting the sockets down as well ends any
        // call that is not a poll.
        for (int socket : m_sockets)
            ::shutdown(socket, SHUT_RDWR);
        m_idle.wait(lock, [this] { return m_sockets.empty(); });
    }
    for (int fd : {m_listen, m_wake[0], m_stopping[0]})
        if (fd >= 0)
            ::close(fd);
    m_listen = m_wake[0] = m_stopping[0] = -1;
}

void CLookupServer::AcceptLoop()
{
    for (;;) {
        pollfd watched[3] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}, {m_stopping[0], POLLIN, 0}};
        if (::poll(watched, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watched[1].revents)
            return;
        if (watched[2].revents) {
            // Only this process's descriptor: a passed socket stays open where it came from,
            // and new clients wait in its backlog for the next server.
            ::close(m_listen);
            m_listen = -1;
            return;
        }
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        int fd = ::accept4(m_listen, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::string client = PeerName(peer);
        std::string refusal = Admit(fd, client);
        if (!refusal.empty()) {
            // A short line into a fresh socket's empty buffer: it never waits.
            std::string line = "421 " + refusal + ", try again later\n";
            ::send(fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            ::close(fd);
            m_log.LogLookup(client, "(connection)", "421 " + refusal);
            continue;
        }
        // Every answer is whole when it is written; holding it back for an acknowledgement
        // would only make a client wait.
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::thread([this, fd, client] { Serve(fd, client); }).detach();
    }
}

std::string CLookupServer::Admit(int socket, const std::string& client)
{
    std::lock_guard lock(m_mutex);
    if (static_cast<int>(m_sockets.size()) >= m_limits.maxConnections)
        return "too many connections";
    int& open = m_perClient[client];
    if (open >= m_limits.maxPerClient)
        return "too many connections from your address";
    ++open;
    m_sockets.insert(socket);
    ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
    return {};
}

bool CLookupServer::SendAll(int socket, std::string_view data)
{
    auto deadline = Clock::now() + std::chrono::seconds(m_limits.idleSeconds);
    bool stopping = false;
    while (!data.empty()) {
        ssize_t sent = ::send(socket, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            data.remove_prefix(static_cast<size_t>(sent));
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd watched[3] = {{socket, POLLOUT, 0}, {m_wake[0], POLLIN, 0}, {stopping ? -1 : m_stopping[0], POLLIN, 0}};
        if (::poll(watched, 3, static_cast<int>(left)) < 0 && errno != EINTR)
            return false;
        if (watched[1].revents)
            return false;
        if (watched[2].revents) {
            stopping = true;
            deadline = std::min(deadline, Clock::now() + CDrainCount::kPartialGrace);
        }
    }
    return true;
}

void CLookupServer::Serve(int socket, std::string client)
{
    auto started = Clock::now();
    auto lastRequest = started;
    bool open = SendAll(socket, kGreeting);
    std::string pending;
    CBatch batch;
    char buffer[4096];
    bool stopping = false;
    bool answered = false;
    CDrainCount::EState state = CDrainCount::kIdle;
    m_drain.Move(state, CDrainCount::kSilent);
    // Stopping, a client whose requests are all answered is let go.
    auto letGo = [&] {
        if (!stopping || !answered || !pending.empty() || batch.expected > 0 || batch.discard > 0)
            return false;
        SendAll(socket, "421 server stopping, closing\n");
        return true;
    };
    while (open) {
        auto now = Clock::now();
        auto idleEnd = lastRequest + std::chrono::seconds(m_limits.idleSeconds);
        auto lifeEnd = started + std::chrono::seconds(m_limits.lifetimeSeconds);
        if (now >= lifeEnd) {
            SendAll(socket, "421 connection open too long, closing\n");
            m_log.LogLookup(client, "(lifetime)", "421 connection open too long");
            break;
        }
        if (now >= idleEnd) {
            SendAll(socket, "421 idle too long, closing\n");
            m_log.LogLookup(client, "(silence)", "421 idle too long");
            break;
        }
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(std::min(idleEnd, lifeEnd) - now).count();
        pollfd watched[3] = {{socket, POLLIN, 0}, {m_wake[0], POLLIN, 0}, {stopping ? -1 : m_stopping[0], POLLIN, 0}};
        int ready = ::poll(watched, 3, static_cast<int>(wait) + 1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || watched[1].revents)
            break;
        if (watched[2].revents) {
            stopping = true;
            if (letGo())
                break;
        }
        if (!(watched[0].revents))
            continue;
        ssize_t received = ::recv(socket, buffer, sizeof buffer, 0);
        if (received < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (received <= 0)
            break;
        m_drain.Move(state, CDrainCount::kAnswering);
        pending.append(buffer, static_cast<size_t>(received));
        bool tooLong = false;
        bool close = false;
        // The answers to every request that came in one read go out in one write: a client
        // that sends its requests without waiting gets them without waiting either.
        std::string answers;
        while (!close) {
            size_t newline = pending.find('\n');
            if (newline == std::string::npos || newline > kMaxLine) {
                tooLong = newline != std::string::npos || pending.size() > kMaxLine;
                break;
            }
            std::string line = pending.substr(0, newline);
            pending.erase(0, newline + 1);
            std::string logged;
            std::string answer = AnswerLine(batch, line, logged, close);
            if (!answer.empty()) {
                answered = true;
                lastRequest = Clock::now();
                m_log.LogLookup(client, logged, FirstLine(answer));
                answers += answer;
            }
        }
        if (!answers.empty())
            open = SendAll(socket, answers);
        if (close)
            open = false;
        if (open && tooLong) {
            SendAll(socket, "500 request line too long\n");
            m_log.LogLookup(client, pending.substr(0, 64) + "...", "500 request line too long");
            break;
        }
        if (open && letGo())
            break;
        m_drain.Move(state, pending.empty() && batch.expected == 0 ? CDrainCount::kIdle : CDrainCount::kPartial);
    }
    m_drain.Move(state, CDrainCount::kIdle);
    std::lock_guard lock(m_mutex);
    ::shutdown(socket, SHUT_RDWR);
    ::close(socket);
    m_sockets.erase(socket);
    if (--m_perClient[client] == 0)
        m_perClient.erase(client);
    m_idle.notify_all();
}

std::string CLookupServer::AnswerLine(CBatch& batch, std::string_view line, std::string& logged, bool& close) const
{
    close = false;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    // Empty lines are no requests, in a batch or out of one.
    if (line.empty())
        return {};
    if (batch.discard > 0) {
        --batch.discard;
        return {};
    }
    if (batch.expected > 0) {
        batch.lines.emplace_back(line);
        if (batch.lines.size() < batch.expected)
            return {};
        // Every line is checked before any is answered: a refused batch answers nothing else.
        std::string answers;
        std::string command;
        for (const std::string& request : batch.lines)
            if (Split(request, command); !Batchable(command)) {
                answers = "500 a batch holds only GETCOUNT, GETSCID and GETFP requests\n";
                break;
            }
        if (answers.empty()) {
            bool ignored = false;
            for (const std::string& request : batch.lines)
                answers += Answer(request, ignored);
        }
        logged = batch.header + " (" + batch.lines.front().substr(0, 64) + " ...)";
        batch = CBatch{};
        return answers;
    }

    std::string command;
    std::string_view argument = Split(line, command);
    if (command != "BATCH") {
        logged = line;
        return Answer(line, close);
    }
    logged = line;
    size_t count = 0;
    const auto [end, error] = std::from_chars(argument.data(), argument.data() + argument.size(), count);
    if (error != std::errc() || end != argument.data() + argument.size() || count == 0)
        return "501 BATCH needs the number of requests that follow, 1 to " + std::to_string(kMaxBatch) + "\n";
    if (count > kMaxBatch) {
        // Its lines are passed over, so that the client's next request is answered next.
        batch.discard = count;
        return "501 a batch holds at most " + std::to_string(kMaxBatch) + " requests\n";
    }
    batch.header = line;
    batch.expected = count;
    return {};
}

std::string_view CLookupServer::Split(std::string_view line, std::string& command)
{
    size_t space = line.find(' ');
    command = line.substr(0, space);
    for (char& c : command)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    std::string_view argument = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    while (!argument.empty() && argument.front() == ' ')
        argument.remove_prefix(1);
    while (!argument.empty() && argument.back() == ' ')
        argument.remove_suffix(1);
    return argument;
}

std::string CLookupServer::Answer(std::string_view line, bool& close) const
{
    close = false;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.empty())
        return {};
    std::string command;
    std::string_view argument = Split(line, command);

    if (command == "QUIT") {
        close = true;
        return "221 goodbye\n";
    }
    if (command == "GETCOUNT" || command == "GETSCID" || command == "GETFP") {
        if (argument.empty())
            return "501 " + command + (command == "GETFP" ? " needs a fingerprint\n" : " needs a class name\n");
        if (command == "GETCOUNT")
            return "200 " + std::to_string(m_database.CountComponents(argument)) + "\n";
        if (command == "GETFP")
            return AnswerFingerprint(argument);
        std::string answer;
        for (const auto& scid : m_database.FindComponents(argument))
            answer += "200 " + scid + "\n";
        return answer + "201 end of list\n";
    }
    return "500 unknown request; use GETCOUNT, GETSCID, GETFP, BATCH or QUIT\n";
}

// A fingerprint that is not one reads as one no class has, as a name that is no class does
// for GETSCID.
std::string CLookupServer::AnswerFingerprint(std::string_view argument) const
{
    std::string answer;
    uint64_t fingerprint = 0;
    const CFingerprintTable* table = m_fingerprints;
    if (table && CFingerprintTable::ParseFingerprint(argument, fingerprint))
        for (const CFingerprintTable::CVersion* version : table->Find(fingerprint))
            answer += "200 " + version->scid + " " + version->version + "\n";
    return answer + "201 end of list\n";
}
