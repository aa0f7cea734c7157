#include "Settings.h"

#include <filesystem>
#include <tuple>

#include <gtest/gtest.h>

#include "Registry.h"
#include "VendorServers.h"
#include "support/Environment.h"
#include "support/TestSupport.h"

TEST(Settings, DefaultsPointAtTheLocalReferenceServer)
{
    CTestRegistry registry;
    EXPECT_EQ(GetComponentWebServer(), "http://127.0.0.1:8380");
    EXPECT_EQ(GetMarketplaceUrl(), "http://127.0.0.1:8380");
    EXPECT_EQ(GetMarketplaceWebServer(), "127.0.0.1:8380");
    EXPECT_EQ(GetDistributionServer(), "127.0.0.1:8380");
    EXPECT_EQ(GetComponentUrl(), "127.0.0.1:8380");
    EXPECT_EQ(GetComponentDatabase(), "127.0.0.1:8321");
    EXPECT_EQ(GetDistributionPath(), "/public");
    EXPECT_EQ(GetClientKey(), "0");
    EXPECT_EQ(GetInstallPath(), ".");
    EXPECT_EQ(GetEmail(), "");
    EXPECT_EQ(GetFirewallType(), CFirewallType::None);
    EXPECT_EQ(GetFirewallPort(), 0);
    registry.Set("ComponentWebServer", "");
    EXPECT_EQ(GetComponentWebServer(), "http://127.0.0.1:8380");
}

TEST(Settings, OfflineModeOnlyForTheTextOne)
{
    CTestRegistry registry;
    EXPECT_FALSE(IsOfflineMode());
    const std::pair<const char*, bool> cases[] = {
        {"1", true}, {"true", false}, {"yes", false}, {"01", false}, {"2", false}, {" 1", false}, {"1 ", false},
    };
    for (const auto& [text, on] : cases) {
        registry.Set("OfflineMode", text);
        EXPECT_EQ(IsOfflineMode(), on) << '"' << text << '"';
    }
}

TEST(Settings, NumbersConvertAsAtoi)
{
    CTestRegistry registry;
    // 0: the default.
    const std::pair<const char*, int> numbers[] = {
        {"", 0}, {"abc", 0}, {"0", 0}, {"-5", 0}, {"30", 30}, {"15s", 15}, {"  +7", 7},
    };
    for (auto [name, read, fallback] :
         {std::tuple{"HttpTimeout", &GetHttpTimeout, 10}, std::tuple{"HttpDeadline", &GetHttpDeadline, 60}}) {
        for (const auto& [text, expected] : numbers) {
            registry.Set(name, text);
            EXPECT_EQ(read(), expected ? expected : fallback) << name << " \"" << text << '"';
        }
    }
    registry.Set("FirewallType", "3 (Proxy)");
    EXPECT_EQ(GetFirewallType(), CFirewallType::Proxy);
    SetFirewallPort(1080);
    EXPECT_EQ(GetFirewallPort(), 1080);
    SetFirewallType(CFirewallType::Pipe);
    EXPECT_EQ(GetFirewallType(), CFirewallType::Pipe);
}

TEST(Settings, WritersRoundTrip)
{
    CTestRegistry registry;
    SetEmail("ada@example.org");
    SetFirewallHost("proxy.example");
    SetFirewallUsername("ada");
    SetFirewallPassword("p \"w\" \\d");
    SetClientKey("4711");
    EXPECT_EQ(GetEmail(), "ada@example.org");
    EXPECT_EQ(GetFirewallHost(), "proxy.example");
    EXPECT_EQ(GetFirewallUsername(), "ada");
    EXPECT_EQ(GetFirewallPassword(), "p \"w\" \\d");
    EXPECT_EQ(GetClientKey(), "4711");

    // The layout the user left: none at first, then as kept; a hand-edited value that is
    // no whole number, or a size of nothing, reads as none.
    EXPECT_FALSE(GetWindowPlacement());
    EXPECT_EQ(GetSplitterPosition("Java"), -1);
    ASSERT_TRUE(SetWindowPlacement({-1280, 40, 900, 600, true}));
    ASSERT_TRUE(SetPageLayout("Marketplace", {{"Java", 240}, {"Marketplace", 310}}));
    const std::optional<CWindowPlacement> kept = GetWindowPlacement();
    ASSERT_TRUE(kept);
    EXPECT_EQ(std::tuple(kept->left, kept->top, kept->width, kept->height, kept->maximized),
              std::tuple(-1280, 40, 900, 600, true));
    EXPECT_EQ(GetLastTab(), "Marketplace");
    EXPECT_EQ(std::pair(GetSplitterPosition("Java"), GetSplitterPosition("Local")), std::pair(240, -1));
    for (const auto& [name, text] : {std::pair("WindowWidth", "900px"), std::pair("WindowTop", ""),
                                     std::pair("WindowHeight", "0"), std::pair("WindowLeft", "1e3")}) {
        RegWriteString(HKEY_LOCAL_MACHINE, kUserKey, name, text);
        EXPECT_FALSE(GetWindowPlacement()) << name << " \"" << text << '"';
        ASSERT_TRUE(SetWindowPlacement({0, 0, 900, 600, false}));
    }
}

TEST(Settings, ScanLocationsOfferTheBuildToolsUntilChosen)
{
    CTestRegistry registry;
    RegDeleteKey(HKEY_LOCAL_MACHINE, kScanLocationsKey);  // as a new installation has it
    CTempDir home;
    std::filesystem::create_directories(home.File(".m2/repository"));
    CScopedEnvironment user("HOME", home.Path());
    std::vector<std::string> offered = GetScanLocations();
    ASSERT_FALSE(offered.empty());
    EXPECT_EQ(offered[0], home.File(".m2/repository"));  // no Gradle cache here: not offered
    EXPECT_EQ(offered.size(), std::filesystem::is_directory("/usr/share/java") ? 2u : 1u);

    const std::vector<std::string> chosen{"/opt/libs", "/home/ada/app.war", "/srv/\"quoted\""};
    ASSERT_TRUE(SetScanLocations(chosen));
    EXPECT_EQ(GetScanLocations(), chosen);
    ASSERT_TRUE(SetScanLocations({"/only"}));
    EXPECT_EQ(GetScanLocations(), std::vector<std::string>{"/only"});
    ASSERT_TRUE(SetScanLocations({}));  // an empty choice stays empty
    EXPECT_TRUE(GetScanLocations().empty());
    EXPECT_FALSE(SetScanLocations({std::string(300, 'x')}));  // could not be read back
    EXPECT_TRUE(GetScanLocations().empty());

    EXPECT_EQ(GetLookupRate(), 2000);
    registry.Set("LookupRate", "500");
    EXPECT_EQ(GetLookupRate(), 500);
}

TEST(Settings, DataDirectoryHasOneSlash)
{
    CTestRegistry registry;
    EXPECT_EQ(GetDataDirectory(), registry.DataDir() + "/");
    registry.Set("Data", "/srv/corvane/");
    EXPECT_EQ(GetDataDirectory(), "/srv/corvane/");
    registry.Set("Data", std::string(300, 'd'));
    EXPECT_EQ(GetDataDirectory(), "./");
}

TEST(VendorServers, HostPortSettingsOverrideTheDefaultPort)
{
    struct
    {
        const char* setting;
        int defaultPort;
        const char* host;
        int port;
    } const cases[] = {
        {"dist.example", 80, "dist.example", 80},
        {"dist.example:8080", 80, "dist.example", 8080},
        {"10.0.0.5", 21, "10.0.0.5", 21},
        {"10.0.0.5:2121", 21, "10.0.0.5", 2121},
        {"[::1]:8380", 80, "::1", 8380},
        {"[::1]", 80, "::1", 80},
        {"::1", 80, "::1", 80},
        {"host:0", 80, "host", 80},
        {"host:99999", 80, "host", 80},
        {"host:12ab", 80, "host", 80},
    };
    for (const auto& c : cases) {
        CServerAddress address = ParseServerAddress(c.setting, c.defaultPort);
        EXPECT_EQ(address.host, c.host) << c.setting;
        EXPECT_EQ(address.port, c.port) << c.setting;
    }

    CTestRegistry registry;
    EXPECT_EQ(LookupServer().port, 8321);
    registry.Set("ComponentDatabase", "192.0.2.7");
    EXPECT_EQ(LookupServer().port, 21);
    registry.Set("DistributionServer", "dist.example");
    EXPECT_EQ(DistributionServer().host, "dist.example");
    EXPECT_EQ(DistributionServer().port, 80);
}
