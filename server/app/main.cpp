#include <csignal>
#include <cstdio>

#include <pthread.h>

#include "CatalogueCommand.h"
#include "VantrelServer.h"

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

    CVantrelServer server(*options);
    if (!server.Start(error)) {
        std::fprintf(stderr, "vantrel-server: %s\n", error.c_str());
        return 1;
    }
    std::printf("vantrel-server: web servers on http://%s:%d, lookup server on %s:%d, site %s\n",
                options->http.host.c_str(), server.HttpPort(), options->lookup.host.c_str(), server.LookupPort(),
                options->siteDir.c_str());
    std::printf("vantrel-server: %s\n", server.Describe().c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    std::printf("vantrel-server: %s received, stopping\n", received == SIGINT ? "SIGINT" : "SIGTERM");
    std::fflush(stdout);
    server.Stop();
    return 0;
}
