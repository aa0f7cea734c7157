#include "ServerOptions.h"

#include <charconv>
#include <string_view>

namespace
{
std::optional<int> ParseNumber(std::string_view text, int low, int high)
{
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}
}  // namespace

std::optional<CListenAddress> ParseListenAddress(const std::string& text)
{
    size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return std::nullopt;
    std::string host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    else if (host.find(':') != std::string::npos)
        return std::nullopt;  // a bare IPv6 address needs brackets
    if (host.empty())
        host = "127.0.0.1";
    auto port = ParseNumber(std::string_view(text).substr(colon + 1), 0, 65535);
    if (!port)
        return std::nullopt;
    return CListenAddress{host, *port};
}

const char* ServerUsage()
{
    return "usage: vantrel-server --site DIR [--http HOST:PORT] [--lookup HOST:PORT] [--access-log FILE|-]\n"
           "                      [--state DIR] [--database URL] [--report-quota N]\n"
           "                      [--idle-timeout SECONDS] [--threads N] [--max-connections N] [--max-per-client N]\n"
           "       vantrel-server --site DIR [--state DIR] [--database URL] --migrate\n"
           "       vantrel-server --site DIR [--state DIR] [--database URL] --load-site\n"
           "       vantrel-server --site DIR [--state DIR] [--database URL] --load-advisories PATH\n"
           "       vantrel-server --site DIR --build-catalogue [--jars DIR]... [--maven-repo DIR]... [--with-tests]\n"
           "  --site DIR          site directory written by server/build-site (required)\n"
           "  --http HOST:PORT    web servers' listener (default 127.0.0.1:8380; port 0 picks a free one)\n"
           "  --lookup HOST:PORT  lookup server's listener (default 127.0.0.1:8321)\n"
           "  --access-log FILE   access log (default STATE/access.log; - for standard error)\n"
           "  --state DIR         state directory (default DIR/var)\n"
           "  --database URL      postgresql://USER@HOST:PORT/NAME shared by several servers, or an SQLite\n"
           "                      file (default STATE/vantrel.db): client ids, reports, sessions\n"
           "  --report-quota N    reports one e-mail address may send in 24 hours (default 100; 0: no limit)\n"
           "  --idle-timeout S    time a client has to send a whole request (default 10)\n"
           "  --threads N         threads that answer HTTP requests (default 8)\n"
           "  --max-connections N HTTP connections open at once (default 512)\n"
           "  --max-per-client N  HTTP connections open from one address (default 128)\n"
           "  --migrate           bring clients.txt and reports/ of the state directory into the database\n"
           "  --load-site         load the site's catalogue, lookup table and fingerprints into the database\n"
           "  --load-advisories PATH\n"
           "                      load known vulnerabilities in the OSV format (a folder of .json files, a\n"
           "                      ZIP archive of them as osv.dev exports them, or one file) into the database\n"
           "  --build-catalogue   write the site's component catalogue, lookup table and fingerprints from\n"
           "                      the archives of --jars folders and every version in --maven-repo\n"
           "                      repositories (default /usr/share/java and /usr/share/maven-repo)\n"
           "  --with-tests        with --build-catalogue: a repository's tests archives are components\n";
}

std::optional<CServerOptions> ParseServerOptions(int argc, const char* const argv[], std::string& error, bool& help)
{
    CServerOptions options;
    help = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view name = argv[i];
        if (name == "--help" || name == "-h") {
            help = true;
            return std::nullopt;
        }
        if (name == "--migrate" || name == "--load-site" || name == "--build-catalogue" || name == "--with-tests") {
            (name == "--migrate"           ? options.migrate
             : name == "--load-site"       ? options.loadSite
             : name == "--build-catalogue" ? options.buildCatalogue
                                           : options.catalogueTests) = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = std::string(name) + " needs a value";
            return std::nullopt;
        }
        std::string value = argv[++i];
        if (name == "--site") {
            options.siteDir = value;
        } else if (name == "--jars" || name == "--maven-repo") {
            (name == "--jars" ? options.catalogueJars : options.catalogueRepositories).push_back(value);
        } else if (name == "--http" || name == "--lookup") {
            auto address = ParseListenAddress(value);
            if (!address) {
                error = std::string(name) + ": expected HOST:PORT, got \"" + value + "\"";
                return std::nullopt;
            }
            (name == "--http" ? options.http : options.lookup) = *address;
        } else if (name == "--load-advisories") {
            options.loadAdvisories = value;
        } else if (name == "--access-log") {
            options.accessLog = value;
        } else if (name == "--state") {
            options.stateDir = value;
        } else if (name == "--database") {
            options.database = value;
        } else if (name == "--report-quota") {
            auto number = ParseNumber(value, 0, 1000000);
            if (!number) {
                error = "--report-quota: expected a number of reports, got \"" + value + "\"";
                return std::nullopt;
            }
            options.reportQuota = *number;
        } else if (int* target = name == "--idle-timeout"      ? &options.idleTimeoutSeconds
                                 : name == "--threads"         ? &options.threads
                                 : name == "--max-connections" ? &options.maxConnections
                                 : name == "--max-per-client"  ? &options.maxConnectionsPerClient
                                                               : nullptr) {
            auto number = ParseNumber(value, 1, name == "--threads" ? 256 : name == "--idle-timeout" ? 3600 : 65536);
            if (!number) {
                error = std::string(name) + ": expected a positive number, got \"" + value + "\"";
                return std::nullopt;
            }
            *target = *number;
        } else {
            error = "unknown option " + std::string(name);
            return std::nullopt;
        }
    }
    if (options.siteDir.empty()) {
        error = "--site DIR is required (build one with server/build-site DIR)";
        return std::nullopt;
    }
    if (options.migrate + options.loadSite + options.buildCatalogue + !options.loadAdvisories.empty() > 1) {
        error = "--migrate, --load-site, --load-advisories and --build-catalogue are separate steps: give one of them";
        return std::nullopt;
    }
    if (!options.buildCatalogue && (options.catalogueTests || !options.catalogueJars.empty() ||
                                    !options.catalogueRepositories.empty())) {
        error = "--jars, --maven-repo and --with-tests go with --build-catalogue";
        return std::nullopt;
    }
    return options;
}

std::string StateDirectory(const CServerOptions& options, const std::string& siteRoot)
{
    return options.stateDir.empty() ? siteRoot + "/var" : options.stateDir;
}

std::string DatabaseLocation(const CServerOptions& options, const std::string& siteRoot)
{
    return options.database.empty() ? StateDirectory(options, siteRoot) + "/vantrel.db" : options.database;
}
