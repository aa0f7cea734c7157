#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>

#include <arpa/inet.h>
#include <netdb.h>
#include <pthread.h>
#include <sys/socket.h>

#include "CatalogueCommand.h"
#include "PassedSockets.h"
#include "VantrelServer.h"

namespace
{
// How long a stop waits for the requests under way.
constexpr std::chrono::seconds kStopBound{10};

// The address a passed socket listens on, as the first line names it.
std::string SocketHost(int fd)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    char host[NI_MAXHOST] = "?";
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        ::getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host, nullptr, 0, NI_NUMERICHOST);
    return host;
}
}  // namespace

int main(int argc, char* argv[])
{
    std::string error;
    bool help = false;
    auto options = ParseServerOptions(argc, argv, error, help);
    if (!options) {
        std::fputs(help ? ServerUsage() : ("vantrel-server: " + error + "\n" + ServerUsage()).c_str(),
                   help ? stdout : stderr);
        return help ? 0 : 2;
    }

    // The signals are taken by sigwait below; every thread started from here inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    if (options->migrate || options->loadSite || options->buildCatalogue || !options->loadAdvisories.empty()) {
        std::string summary;
        const bool done = options->buildCatalogue ? CCatalogueCommand::Run(*options, summary, error)
                                                  : CVantrelServer::RunStep(*options, summary, error);
        if (!done) {
            std::fprintf(stderr, "vantrel-server: %s\n", error.c_str());
            return 1;
        }
        std::printf("vantrel-server: %s\n", summary.c_str());
        return 0;
    }

    // Sockets systemd holds for the server outlive its restarts: no client is refused meanwhile.
    std::string note;
    const auto passed = TakePassedSockets(note);
    if (!note.empty())
        std::fprintf(stderr, "vantrel-server: %s; binding --http and --lookup instead\n", note.c_str());
    CVantrelServer server(*options);
    if (!server.Start(error, passed ? &*passed : nullptr)) {
        std::fprintf(stderr, "vantrel-server: %s\n", error.c_str());
        return 1;
    }
    const std::string httpHost = passed ? SocketHost(passed->http) : options->http.host;
    const std::string lookupHost = passed ? SocketHost(passed->lookup) : options->lookup.host;
    std::printf("vantrel-server: web servers on http://%s:%d, lookup server on %s:%d, site %s%s\n", httpHost.c_str(),
                server.HttpPort(), lookupHost.c_str(), server.LookupPort(), options->siteDir.c_str(),
                passed ? " (sockets passed by the service manager)" : "");
    std::printf("vantrel-server: %s\n", server.Describe().c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    std::printf("vantrel-server: %s received, stopping\n", received == SIGINT ? "SIGINT" : "SIGTERM");
    std::fflush(stdout);
    // The requests under way are answered, for a while; a second signal ends them at once.
    server.StopAccepting();
    const auto deadline = std::chrono::steady_clock::now() + kStopBound;
    while (!server.WaitUntilIdle(std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(100)))) {
        const timespec now{};
        if (sigtimedwait(&signals, nullptr, &now) > 0) {
            std::printf("vantrel-server: a second signal: closing the connections still open\n");
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            std::printf("vantrel-server: requests still open after %lld s are closed\n",
                        static_cast<long long>(kStopBound.count()));
            break;
        }
    }
    std::fflush(stdout);
    server.Stop();
    return 0;
}
