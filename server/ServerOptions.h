#pragma once

#include <optional>
#include <string>

struct CListenAddress
{
    std::string host;
    int port = 0;  // 0: any free port
};

// What vantrel-server is started with.
struct CServerOptions
{
    std::string siteDir;
    CListenAddress http{"127.0.0.1", 8380};
    CListenAddress lookup{"127.0.0.1", 8321};
    std::string accessLog;        // empty: <site>/var/access.log; "-": standard error
    std::string stateDir;         // empty: <site>/var
    int idleTimeoutSeconds = 10;  // time for a whole request head; a trickle of bytes does not extend it
    // Threads that answer HTTP requests; waiting connections hold none.
    int threads = 8;
    int maxConnections = 512;           // HTTP connections open at once
    int maxConnectionsPerClient = 128;  // of them from one client address
};

// "HOST:PORT", "[V6]:PORT" or ":PORT"; nothing when malformed.
std::optional<CListenAddress> ParseListenAddress(const std::string& text);

// Nothing and a message in error for a bad command line; help set for --help.
std::optional<CServerOptions> ParseServerOptions(int argc, const char* const argv[], std::string& error, bool& help);

const char* ServerUsage();
