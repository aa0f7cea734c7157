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
    int idleTimeoutSeconds = 10;  // a client that sends nothing for this long is dropped
    // httplib keeps a worker per open connection: enough for the clients that keep theirs open.
    int threads = 32;
};

// "HOST:PORT", "[V6]:PORT" or ":PORT"; nothing when malformed.
std::optional<CListenAddress> ParseListenAddress(const std::string& text);

// Nothing and a message in error for a bad command line; help set for --help.
std::optional<CServerOptions> ParseServerOptions(int argc, const char* const argv[], std::string& error, bool& help);

const char* ServerUsage();
