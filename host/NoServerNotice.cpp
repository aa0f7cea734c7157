#include "NoServerNotice.h"

#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "Settings.h"

namespace
{
bool IsThisMachine(const std::string& host)
{
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

bool ConnectsWithin(const addrinfo& candidate, std::chrono::milliseconds timeout)
{
    int fd = ::socket(candidate.ai_family, candidate.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, candidate.ai_protocol);
    if (fd < 0)
        return false;
    bool connected = ::connect(fd, candidate.ai_addr, candidate.ai_addrlen) == 0;
    if (!connected && errno == EINPROGRESS) {
        pollfd wait{fd, POLLOUT, 0};
        int error = 0;
        socklen_t length = sizeof error;
        connected = ::poll(&wait, 1, static_cast<int>(timeout.count())) == 1 &&
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    ::close(fd);
    return connected;
}
}  // namespace

bool CNoServerNotice::Listens(const CServerAddress& address, std::chrono::milliseconds timeout)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.host.c_str(), std::to_string(address.port).c_str(), &hints, &found) != 0)
        return false;
    bool listens = false;
    for (addrinfo* candidate = found; candidate && !listens; candidate = candidate->ai_next)
        listens = ConnectsWithin(*candidate, timeout);
    ::freeaddrinfo(found);
    return listens;
}

std::string CNoServerNotice::Check(const std::string& systemdDir)
{
    const CServerAddress server = ComponentUrlServer();
    if (GetClientKey() != "0" || !IsThisMachine(server.host) || Listens(server, std::chrono::seconds(2)))
        return {};
    std::error_code ec;
    return Text(ComponentWebServerUrl(), std::filesystem::is_directory(systemdDir, ec));
}

std::string CNoServerNotice::Text(const std::string& serverUrl, bool systemd)
{
    std::string text = "No Corvane server answers at " + serverUrl +
                       ", so the Java, Local and Marketplace tabs stay empty.\n\n";
    if (systemd)
        text += "Start the server of this machine with\n    sudo systemctl start vantrel-server\n"
                "(its first start builds its data, which takes a minute or two).";
    else
        text += "No system service runs here (a container, for instance). Start a server yourself:\n"
                "    build-site ~/.cache/corvane/site\n"
                "    vantrel-server --site ~/.cache/corvane/site &\n";
    return text + "\nThen start Corvane Component Manager again.";
}
