#include "PassedSockets.h"

#include <charconv>
#include <cstdlib>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
std::optional<long> ParseCount(const char* text)
{
    std::string_view digits = text ? text : "";
    long value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || value < 0)
        return std::nullopt;
    return value;
}

bool IsListeningTcp(int fd)
{
    int listening = 0;
    int type = 0;
    socklen_t length = sizeof listening;
    if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) != 0 || !listening)
        return false;
    length = sizeof type;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM)
        return false;
    sockaddr_storage address{};
    length = sizeof address;
    return ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
           (address.ss_family == AF_INET || address.ss_family == AF_INET6);
}
}  // namespace

std::optional<CPassedSockets> ParsePassedSockets(const char* pid, const char* count, const char* names, pid_t self,
                                                 int firstFd, std::string& note)
{
    note.clear();
    if (!pid && !count)
        return std::nullopt;
    auto owner = ParseCount(pid);
    auto fds = ParseCount(count);
    if (!owner || *owner != self) {
        note = "the passed sockets are for process " + std::string(pid ? pid : "(none)") + ", not this one";
        return std::nullopt;
    }
    if (!fds || *fds < 1 || *fds > 64) {
        note = "LISTEN_FDS is \"" + std::string(count ? count : "") + "\", not a number of sockets";
        return std::nullopt;
    }
    std::vector<std::string> named;
    std::string_view rest = names ? names : "";
    for (size_t colon = 0; colon != std::string_view::npos; rest.remove_prefix(colon + 1)) {
        colon = rest.find(':');
        named.emplace_back(rest.substr(0, colon));
        if (colon == std::string_view::npos)
            break;
    }
    if (named.size() != static_cast<size_t>(*fds)) {
        note = "LISTEN_FDNAMES does not name the " + std::to_string(*fds) + " passed sockets";
        return std::nullopt;
    }
    CPassedSockets sockets;
    for (size_t i = 0; i < named.size(); ++i) {
        // A socket of another name is not ours to use.
        int* slot = named[i] == "http" ? &sockets.http : named[i] == "lookup" ? &sockets.lookup : nullptr;
        if (!slot)
            continue;
        if (*slot >= 0) {
            note = "two passed sockets are named " + named[i];
            return std::nullopt;
        }
        *slot = firstFd + static_cast<int>(i);
        if (!IsListeningTcp(*slot)) {
            note = "the passed socket " + named[i] + " is no listening TCP socket";
            return std::nullopt;
        }
    }
    if (sockets.http < 0 || sockets.lookup < 0) {
        note = std::string("no passed socket is named ") + (sockets.http < 0 ? "http" : "lookup");
        return std::nullopt;
    }
    return sockets;
}

std::optional<CPassedSockets> TakePassedSockets(std::string& note)
{
    auto sockets = ParsePassedSockets(std::getenv("LISTEN_PID"), std::getenv("LISTEN_FDS"),
                                      std::getenv("LISTEN_FDNAMES"), ::getpid(), 3, note);
    ::unsetenv("LISTEN_PID");
    ::unsetenv("LISTEN_FDS");
    ::unsetenv("LISTEN_FDNAMES");
    if (sockets)
        for (int fd : {sockets->http, sockets->lookup})
            ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
    return sockets;
}
