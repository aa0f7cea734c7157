#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "FirewallType.h"

// The system's settings: string values under HKEY_LOCAL_MACHINE "Software\Corvane\Vantrel"
// and its "User" subkey, read anew on every call, with their defaults.

extern const char* const kMainKey;  // "Software\Corvane\Vantrel"
extern const char* const kUserKey;  // "Software\Corvane\Vantrel\User"
extern const char* const kScanLocationsKey;  // "Software\Corvane\Vantrel\ScanLocations"

std::string GetEmail();
void SetEmail(const std::string& email);

std::string GetComponentWebServer();
std::string GetMarketplaceUrl();
std::string GetMarketplaceWebServer();
std::string GetComponentDatabase();
std::string GetClientKey();
void SetClientKey(const std::string& key);
std::string GetDistributionServer();
std::string GetDistributionPath();
bool IsOfflineMode();
int GetHttpTimeout();
// Seconds one whole HTTP transfer may take ("HttpDeadline"); 60 unless set above 0.
int GetHttpDeadline();

CFirewallType GetFirewallType();
void SetFirewallType(CFirewallType type);
std::string GetFirewallHost();
void SetFirewallHost(const std::string& host);
int GetFirewallPort();
void SetFirewallPort(int port);
std::string GetFirewallUsername();
void SetFirewallUsername(const std::string& name);
std::string GetFirewallPassword();
void SetFirewallPassword(const std::string& password);

// The folders and archives the location scan searches after the CLASSPATH, one value per
// location in their own key. Until the user has chosen, the folders of this machine's
// build tools and libraries that exist.
std::vector<std::string> GetScanLocations();
// False when the key cannot be written or a location is too long to be read back.
bool SetScanLocations(const std::vector<std::string>& locations);
// The location scan's own cap on lookups per second ("LookupRate", default 2000).
int GetLookupRate();

// The "Data" directory with "/" appended (none when it already ends in "/").
std::string GetDataDirectory();

// Host program only.
std::string GetComponentUrl();
std::string GetInstallPath();

// The layout the user left, kept in the user's key. A value that is missing or no number
// reads as none.
struct CWindowPlacement
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool maximized = false;
};
// The main window's normal place and size, and whether it was maximised.
std::optional<CWindowPlacement> GetWindowPlacement();
bool SetWindowPlacement(const CWindowPlacement& placement);
// The name of the tab shown last; empty when none was kept.
std::string GetLastTab();
// Where a tab's splitter stood, in the page's pixels; -1 when none was kept.
int GetSplitterPosition(const std::string& tab);
// The tab shown last and the splitters given (tab name and position), in one change.
bool SetPageLayout(const std::string& lastTab, const std::vector<std::pair<std::string, int>>& splitters);
