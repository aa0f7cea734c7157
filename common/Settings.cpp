#include "Settings.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>

#include "Registry.h"

const char* const kMainKey = "Software\\Corvane\\Vantrel";
const char* const kUserKey = "Software\\Corvane\\Vantrel\\User";
const char* const kScanLocationsKey = "Software\\Corvane\\Vantrel\\ScanLocations";

namespace
{
// Every default points at the reference server on this machine.
const char* const kDefaultWebUrl = "http://127.0.0.1:8380";
const char* const kDefaultWebHost = "127.0.0.1:8380";
const char* const kDefaultLookupServer = "127.0.0.1:8321";

std::string Main(const char* name, const char* defaultText = "")
{
    return RegReadString(HKEY_LOCAL_MACHINE, kMainKey, name, defaultText);
}

void SetMain(const char* name, const std::string& text)
{
    RegWriteString(HKEY_LOCAL_MACHINE, kMainKey, name, text);
}

// A count or a time of the main key; fallback unless it is set above 0.
int PositiveMain(const char* name, int fallback)
{
    int value = std::atoi(Main(name, "0").c_str());
    return value > 0 ? value : fallback;
}

// A whole decimal number of the user's key, or none.
std::optional<int> UserNumber(const std::string& name)
{
    const std::string text = RegReadString(HKEY_LOCAL_MACHINE, kUserKey, name, "");
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string SplitterValueName(const std::string& tab)
{
    return tab + "Splitter";
}
}  // namespace

std::string GetEmail() { return RegReadString(HKEY_LOCAL_MACHINE, kUserKey, "Email", ""); }
void SetEmail(const std::string& email) { RegWriteString(HKEY_LOCAL_MACHINE, kUserKey, "Email", email); }

std::string GetComponentWebServer() { return Main("ComponentWebServer", kDefaultWebUrl); }
std::string GetMarketplaceUrl() { return Main("MarketplaceUrl", kDefaultWebUrl); }
std::string GetMarketplaceWebServer() { return Main("MarketplaceWebServer", kDefaultWebHost); }
std::string GetComponentDatabase() { return Main("ComponentDatabase", kDefaultLookupServer); }
std::string GetClientKey() { return Main("Key", "0"); }
void SetClientKey(const std::string& key) { SetMain("Key", key); }
std::string GetDistributionServer() { return Main("DistributionServer", kDefaultWebHost); }
std::string GetDistributionPath() { return Main("DistributionPath", "/public"); }

bool IsOfflineMode()
{
    return Main("OfflineMode", "0") == "1";
}

int GetHttpTimeout() { return PositiveMain("HttpTimeout", 10); }
int GetHttpDeadline() { return PositiveMain("HttpDeadline", 60); }

CFirewallType GetFirewallType() { return static_cast<CFirewallType>(std::atoi(Main("FirewallType").c_str())); }
void SetFirewallType(CFirewallType type) { SetMain("FirewallType", std::to_string(static_cast<int>(type))); }
std::string GetFirewallHost() { return Main("FirewallHost"); }
void SetFirewallHost(const std::string& host) { SetMain("FirewallHost", host); }
int GetFirewallPort() { return std::atoi(Main("FirewallPort").c_str()); }
void SetFirewallPort(int port) { SetMain("FirewallPort", std::to_string(port)); }
std::string GetFirewallUsername() { return Main("FirewallUsername"); }
void SetFirewallUsername(const std::string& name) { SetMain("FirewallUsername", name); }
std::string GetFirewallPassword() { return Main("FirewallPassword"); }
void SetFirewallPassword(const std::string& password) { SetMain("FirewallPassword", password); }

std::string GetDataDirectory()
{
    std::string data = Main("Data", ".");
    if (data.back() != '/')
        data += '/';
    return data;
}

std::string GetComponentUrl() { return Main("ComponentUrl", kDefaultWebHost); }
std::string GetInstallPath() { return Main("Path", "."); }

std::optional<CWindowPlacement> GetWindowPlacement()
{
    const std::optional<int> left = UserNumber("WindowLeft");
    const std::optional<int> top = UserNumber("WindowTop");
    const std::optional<int> width = UserNumber("WindowWidth");
    const std::optional<int> height = UserNumber("WindowHeight");
    if (!left || !top || !width || !height || *width <= 0 || *height <= 0)
        return std::nullopt;
    return CWindowPlacement{*left, *top, *width, *height, UserNumber("WindowMaximized").value_or(0) == 1};
}

bool SetWindowPlacement(const CWindowPlacement& placement)
{
    return RegWriteValues(HKEY_LOCAL_MACHINE, kUserKey,
                          {{"WindowLeft", std::to_string(placement.left)},
                           {"WindowTop", std::to_string(placement.top)},
                           {"WindowWidth", std::to_string(placement.width)},
                           {"WindowHeight", std::to_string(placement.height)},
                           {"WindowMaximized", placement.maximized ? "1" : "0"}});
}

std::string GetLastTab()
{
    return RegReadString(HKEY_LOCAL_MACHINE, kUserKey, "LastTab", "");
}

int GetSplitterPosition(const std::string& tab)
{
    const std::optional<int> position = UserNumber(SplitterValueName(tab));
    return position && *position >= 0 ? *position : -1;
}

bool SetPageLayout(const std::string& lastTab, const std::vector<std::pair<std::string, int>>& splitters)
{
    std::vector<std::pair<std::string, std::string>> values{{"LastTab", lastTab}};
    for (const auto& [tab, position] : splitters)
        values.emplace_back(SplitterValueName(tab), std::to_string(position));
    return RegWriteValues(HKEY_LOCAL_MACHINE, kUserKey, values);
}

std::vector<std::string> GetScanLocations()
{
    std::vector<std::string> locations;
    const auto values = RegReadValues(HKEY_LOCAL_MACHINE, kScanLocationsKey);
    if (!values.empty() || RegReadString(HKEY_LOCAL_MACHINE, kScanLocationsKey, "", "") == "chosen") {
        for (const auto& [name, location] : values)
            if (!location.empty())
                locations.push_back(location);
        return locations;
    }
    const char* home = std::getenv("HOME");
    const std::string user = home && *home ? home : "";
    for (const std::string& candidate :
         {user + "/.m2/repository", user + "/.gradle/caches/modules-2/files-2.1", std::string("/usr/share/java")}) {
        std::error_code ec;
        if (candidate.front() == '/' && std::filesystem::is_directory(candidate, ec))
            locations.push_back(candidate);
    }
    return locations;
}

bool SetScanLocations(const std::vector<std::string>& locations)
{
    // The key's default value says the user has chosen, so an empty list stays empty.
    std::vector<std::pair<std::string, std::string>> values{{"", "chosen"}};
    for (size_t i = 0; i < locations.size(); ++i) {
        if (locations[i].size() > kMaxRegistryValueLength)
            return false;
        values.emplace_back("Location" + std::to_string(i + 1), locations[i]);
    }
    return RegReplaceKey(HKEY_LOCAL_MACHINE, kScanLocationsKey, values);
}

int GetLookupRate() { return PositiveMain("LookupRate", 2000); }
