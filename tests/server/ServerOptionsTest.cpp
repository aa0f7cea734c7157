#include "ServerOptions.h"

#include <gtest/gtest.h>

#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "PassedSockets.h"

namespace
{
std::optional<CServerOptions> Parse(std::vector<const char*> args, std::string& error)
{
    args.insert(args.begin(), "vantrel-server");
    bool help = false;
    return ParseServerOptions(static_cast<int>(args.size()), args.data(), error, help);
}
}  // namespace

TEST(ServerOptionsTest, DefaultsAreTheClientsDefaultEndpoints)
{
    std::string error;
    auto options = Parse({"--site", "/srv/site"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->siteDir, "/srv/site");
    EXPECT_EQ(options->http.host, "127.0.0.1");
    EXPECT_EQ(options->http.port, 8380);
    EXPECT_EQ(options->lookup.host, "127.0.0.1");
    EXPECT_EQ(options->lookup.port, 8321);
    EXPECT_EQ(DatabaseLocation(*options, "/srv/site"), "/srv/site/var/vantrel.db");
    EXPECT_EQ(options->reportQuota, 100);
    EXPECT_FALSE(options->migrate || options->loadSite);

    options = Parse({"--site", "s", "--state", "/srv/state", "--migrate", "--report-quota", "0"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->migrate);
    EXPECT_EQ(options->reportQuota, 0);
    EXPECT_EQ(DatabaseLocation(*options, "s"), "/srv/state/vantrel.db");
    options = Parse({"--load-site", "--site", "s", "--database", "postgresql://db.example/vantrel"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->loadSite);
    EXPECT_EQ(DatabaseLocation(*options, "s"), "postgresql://db.example/vantrel");

    // Catalogue folders and repositories, each as often as given, in their order.
    auto catalogue = Parse({"--site", "s", "--build-catalogue", "--maven-repo", "/r1", "--jars", "/j",
                            "--maven-repo", "/r2", "--with-tests"}, error);
    ASSERT_TRUE(catalogue) << error;
    EXPECT_TRUE(catalogue->buildCatalogue && catalogue->catalogueTests);
    EXPECT_EQ(catalogue->catalogueJars, std::vector<std::string>{"/j"});
    EXPECT_EQ(catalogue->catalogueRepositories, (std::vector<std::string>{"/r1", "/r2"}));
    EXPECT_FALSE(options->buildCatalogue || options->catalogueTests);

    auto limits = Parse({"--site", "s", "--max-connections", "2000", "--max-per-client", "16"}, error);
    ASSERT_TRUE(limits) << error;
    EXPECT_EQ(limits->maxConnections, 2000);
    EXPECT_EQ(limits->maxConnectionsPerClient, 16);
}

TEST(ServerOptionsTest, ListenAddresses)
{
    struct Case
    {
        const char* text;
        bool valid;
        const char* host;
        int port;
    };
    const Case cases[] = {
        {"127.0.0.1:9000", true, "127.0.0.1", 9000},
        {"[::1]:9001", true, "::1", 9001},
        {":0", true, "127.0.0.1", 0},
        {"localhost:65535", true, "localhost", 65535},
        {"127.0.0.1", false, "", 0},
        {"127.0.0.1:65536", false, "", 0},
        {"127.0.0.1:-1", false, "", 0},
        {"127.0.0.1:80x", false, "", 0},
        {"::1:80", false, "", 0},
    };
    for (const auto& c : cases) {
        auto address = ParseListenAddress(c.text);
        EXPECT_EQ(address.has_value(), c.valid) << c.text;
        if (address && c.valid) {
            EXPECT_EQ(address->host, c.host) << c.text;
            EXPECT_EQ(address->port, c.port) << c.text;
        }
    }
}

TEST(ServerOptionsTest, BadCommandLinesSayWhatIsWrong)
{
    struct Case
    {
        std::vector<const char*> args;
        const char* mentions;
    };
    const Case cases[] = {
        {{}, "--site"},
        {{"--site"}, "needs a value"},
        {{"--site", "s", "--http", "nowhere"}, "--http"},
        {{"--site", "s", "--lookup", "1.2.3.4:99999"}, "--lookup"},
        {{"--site", "s", "--threads", "0"}, "--threads"},
        {{"--site", "s", "--idle-timeout", "soon"}, "--idle-timeout"},
        {{"--site", "s", "--max-per-client", "0"}, "--max-per-client"},
        {{"--site", "s", "--verbose", "1"}, "unknown option --verbose"},
        {{"--site", "s", "--report-quota", "-1"}, "--report-quota"},
        {{"--site", "s", "--migrate", "--load-site"}, "separate steps"},
        {{"--site", "s", "--load-site", "--build-catalogue"}, "separate steps"},
        {{"--site", "s", "--load-site", "--load-advisories", "osv"}, "separate steps"},
        {{"--site", "s", "--maven-repo", "/r"}, "go with --build-catalogue"},
        {{"--site", "s", "--with-tests"}, "go with --build-catalogue"},
        {{"--site", "s", "--build-catalogue", "--jars"}, "needs a value"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(Parse(c.args, error));
        EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
    }
}

TEST(ServerOptionsTest, HelpIsNotAnError)
{
    const char* args[] = {"vantrel-server", "--help"};
    std::string error;
    bool help = false;
    EXPECT_FALSE(ParseServerOptions(2, args, error, help));
    EXPECT_TRUE(help);
    EXPECT_TRUE(error.empty());
    EXPECT_NE(std::string(ServerUsage()).find("--site DIR"), std::string::npos);
}

// What a service manager hands over, as the server finds it: descriptors from firstFd on, of
// kinds given by letters (L listening TCP, C TCP not listening, U listening Unix, P a pipe).
TEST(ServerOptionsTest, PassedSockets)
{
    constexpr int firstFd = 200;
    auto place = [](int fd, int at) {
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::dup2(fd, at), at);
        ::close(fd);
    };
    auto tcp = [](bool listening) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (listening && (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 1) != 0))
            return -1;
        return fd;
    };
    const std::string unixPath = testing::TempDir() + "passed-sockets-" + std::to_string(::getpid());
    auto unixListening = [&] {
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        unixPath.copy(address.sun_path, sizeof address.sun_path - 1);
        ::unlink(unixPath.c_str());
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 1) != 0)
            return -1;
        return fd;
    };
    struct Case
    {
        const char* pid;  // "self": this process
        const char* count;
        const char* names;
        const char* kinds;
        int http;  // expected descriptors, offset from firstFd; -1: none passed
        int lookup;
        const char* note;  // part of the note; "" for none
    };
    const Case cases[] = {
        {"self", "2", "http:lookup", "LL", 0, 1, ""},
        {"self", "3", "lookup:metrics:http", "LPL", 2, 0, ""},
        {nullptr, nullptr, nullptr, "LL", -1, -1, ""},
        {"1", "2", "http:lookup", "LL", -1, -1, "process 1"},
        {"self", "one", "http:lookup", "LL", -1, -1, "LISTEN_FDS"},
        {"self", "0", "", "", -1, -1, "LISTEN_FDS"},
        {"self", "2", nullptr, "LL", -1, -1, "LISTEN_FDNAMES"},
        {"self", "2", "http:lookup:more", "LL", -1, -1, "LISTEN_FDNAMES"},
        {"self", "1", "http", "L", -1, -1, "named lookup"},
        {"self", "2", "http:http", "LL", -1, -1, "two passed sockets are named http"},
        {"self", "2", "http:lookup", "LC", -1, -1, "lookup is no listening TCP"},
        {"self", "2", "http:lookup", "UL", -1, -1, "http is no listening TCP"},
        {"self", "2", "http:lookup", "LP", -1, -1, "lookup is no listening TCP"},
    };
    const std::string self = std::to_string(::getpid());
    for (const auto& c : cases) {
        const std::string kinds = c.kinds;
        for (size_t i = 0; i < kinds.size(); ++i) {
            int pipeFds[2] = {-1, -1};
            int fd = kinds[i] == 'L' ? tcp(true) : kinds[i] == 'C' ? tcp(false) : kinds[i] == 'U' ? unixListening() : -1;
            if (kinds[i] == 'P') {
                ASSERT_EQ(::pipe(pipeFds), 0);
                ::close(pipeFds[1]);
                fd = pipeFds[0];
            }
            place(fd, firstFd + static_cast<int>(i));
        }
        std::string note;
        const std::string pid = c.pid && std::string(c.pid) == "self" ? self : c.pid ? c.pid : "";
        auto sockets = ParsePassedSockets(c.pid ? pid.c_str() : nullptr, c.count, c.names, ::getpid(), firstFd, note);
        const std::string label = std::string(c.names ? c.names : "(no names)") + " " + kinds;
        EXPECT_EQ(sockets.has_value(), c.http >= 0) << label << ": " << note;
        if (sockets && c.http >= 0) {
            EXPECT_EQ(sockets->http, firstFd + c.http) << label;
            EXPECT_EQ(sockets->lookup, firstFd + c.lookup) << label;
        }
        if (*c.note)
            EXPECT_NE(note.find(c.note), std::string::npos) << label << ": " << note;
        else
            EXPECT_EQ(note, "") << label;
        for (size_t i = 0; i < kinds.size(); ++i)
            ::close(firstFd + static_cast<int>(i));
    }
    ::unlink(unixPath.c_str());
}
