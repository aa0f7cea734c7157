#include "ServerOptions.h"

#include <gtest/gtest.h>

#include <vector>

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
