#pragma once

#include <optional>
#include <string>
#include <vector>

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
    std::string database;         // empty: the SQLite file vantrel.db in the state directory
    int reportQuota = 100;        // reports one address may send in a day; 0: no limit
    bool migrate = false;         // bring the state directory's files into the database, then exit
    bool loadSite = false;        // load the site's catalogue, lookup table and fingerprints into the database, then exit
    // Load the known vulnerabilities (OSV records) of this folder, ZIP archive or file into the
    // database, then exit.
    std::string loadAdvisories;
    // Write the site's component catalogue from these folders and repositories, then exit.
    bool buildCatalogue = false;
    std::vector<std::string> catalogueJars;          // plain folders of archives
    std::vector<std::string> catalogueRepositories;  // Maven-layout repositories
    bool catalogueTests = false;                     // tests archives are components too
    int idleTimeoutSeconds = 10;  // time for a whole request head; a trickle of bytes does not extend it
    // Threads that run the page handlers; waiting connections hold none.
    int threads = 8;
    // Threads that read requests and write answers, never held by a handler.
    int ioThreads = 2;
    // Requests waiting for a handler thread; past that they are answered 503.
    int handlerQueue = 256;
    int maxConnections = 512;           // HTTP connections open at once
    int maxConnectionsPerClient = 128;  // of them from one client address
};

// "HOST:PORT", "[V6]:PORT" or ":PORT"; nothing when malformed.
std::optional<CListenAddress> ParseListenAddress(const std::string& text);

// The database the options name: --database, or the SQLite file in the state directory.
std::string DatabaseLocation(const CServerOptions& options, const std::string& siteRoot);
// The state directory the options name.
std::string StateDirectory(const CServerOptions& options, const std::string& siteRoot);

// Nothing and a message in error for a bad command line; help set for --help.
std::optional<CServerOptions> ParseServerOptions(int argc, const char* const argv[], std::string& error, bool& help);

const char* ServerUsage();
