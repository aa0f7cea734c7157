#pragma once

#include <string>

// Where each of the vendor's servers is reached. Every request the client makes finds its
// server here, so that a setting's meaning and default port live in one place.

struct CServerAddress
{
    std::string host;
    int port = 0;
};

constexpr int kHttpPort = 80;
constexpr int kLookupPort = 21;

// "host" gives defaultPort; "host:port" and "[v6]:port" override it.
CServerAddress ParseServerAddress(const std::string& setting, int defaultPort);

// Base URLs (scheme, host, optional port; no trailing "/"), used by URL loads and pages.
std::string ComponentWebServerUrl();  // "ComponentWebServer"
std::string MarketplaceSiteUrl();     // "MarketplaceUrl"

// Servers reached by the HTTP client, port 80 unless the setting says otherwise.
CServerAddress MarketplaceWebServer();  // "MarketplaceWebServer"
CServerAddress DistributionServer();    // "DistributionServer"
CServerAddress ComponentUrlServer();    // "ComponentUrl", the host's client-id request

// The component lookup server, port 21 unless the setting says otherwise.
CServerAddress LookupServer();  // "ComponentDatabase"
