#include "VendorServers.h"

#include <cstdlib>

#include "Settings.h"

CServerAddress ParseServerAddress(const std::string& setting, int defaultPort)
{
    CServerAddress address{setting, defaultPort};
    std::string rest;
    if (!setting.empty() && setting.front() == '[') {
        size_t close = setting.find(']');
        if (close == std::string::npos)
            return address;
        address.host = setting.substr(1, close - 1);
        rest = setting.substr(close + 1);
        if (rest.empty())
            return address;
        if (rest.front() != ':')
            return {setting, defaultPort};
        rest.erase(0, 1);
    } else {
        size_t colon = setting.rfind(':');
        // A bare IPv6 address has several colons and no port.
        if (colon == std::string::npos || setting.find(':') != colon)
            return address;
        address.host = setting.substr(0, colon);
        rest = setting.substr(colon + 1);
    }
    char* end = nullptr;
    long port = std::strtol(rest.c_str(), &end, 10);
    if (!rest.empty() && *end == '\0' && port > 0 && port <= 65535)
        address.port = static_cast<int>(port);
    return address;
}

std::string ComponentWebServerUrl() { return GetComponentWebServer(); }
std::string MarketplaceSiteUrl() { return GetMarketplaceUrl(); }

CServerAddress MarketplaceWebServer() { return ParseServerAddress(GetMarketplaceWebServer(), kHttpPort); }
CServerAddress DistributionServer() { return ParseServerAddress(GetDistributionServer(), kHttpPort); }
CServerAddress ComponentUrlServer() { return ParseServerAddress(GetComponentUrl(), kHttpPort); }
CServerAddress LookupServer() { return ParseServerAddress(GetComponentDatabase(), kLookupPort); }
