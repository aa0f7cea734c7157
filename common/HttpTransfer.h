#pragma once

#include <string>
#include <string_view>

#include <curl/curl.h>

#include "FirewallType.h"

// A host name or address literal; anything else could smuggle user info or a path into
// a URL built from it.
bool IsPlainHost(const std::string& host);
bool IsPort(int port);
// The host as it stands in a URL (an IPv6 literal in brackets).
std::string HostForUrl(const std::string& host);

// What binds every request the program makes: the firewall, "HttpTimeout" for connecting
// and for stalls, an overall deadline ("HttpDeadline") and a cap on the answer's size.
struct CTransferSettings
{
    CFirewallType firewallType = CFirewallType::None;
    std::string firewallHost;
    int firewallPort = 0;
    std::string firewallUser;
    std::string firewallPassword;
    int timeoutSeconds = 10;
    int deadlineSeconds = 60;
    curl_off_t maxBytes = kMaxDownloadSize;

    // Far above any file the vendor's servers hold; an endless answer stops here.
    static constexpr curl_off_t kMaxDownloadSize = curl_off_t{256} * 1024 * 1024;

    // The firewall, HttpTimeout and HttpDeadline settings as they are now.
    static CTransferSettings FromSettings(curl_off_t maxBytes);
    // Empty when the firewall can be used; otherwise why nothing may be sent, naming the
    // setting. A firewall that is set but unusable is never gone around.
    std::string CheckFirewall() const;
};

// Receives the answer to one request.
class ITransferSink
{
public:
    virtual ~ITransferSink() = default;
    // Every header line of every response, redirects and interim answers included.
    virtual void OnHeaderLine(std::string_view line) { (void)line; }
    // A piece of a 2xx body; false stops the transfer, with error saying why.
    virtual bool OnBody(std::string_view data, std::string& error) = 0;
    // Body bytes so far and expected (0 when unknown); false stops the transfer.
    virtual bool OnProgress(curl_off_t now, curl_off_t total)
    {
        (void)now, (void)total;
        return true;
    }
};

struct CTransferRequest
{
    std::string url;  // as built; what cannot stand in a URL is encoded on the way out
    const curl_slist* headers = nullptr;
    const char* acceptEncoding = "";  // "": every encoding libcurl decodes
    bool headOnly = false;
    // Set: a POST of these bytes, which must outlive Perform, with this Content-Type.
    const std::string* postBody = nullptr;
    std::string contentType;
};

// The one way the program's HTTP requests go out: a libcurl handle, set up for each
// request from the transfer settings. Connections stay open for the next request.
class CHttpTransfer
{
public:
    CHttpTransfer();
    ~CHttpTransfer();
    CHttpTransfer(const CHttpTransfer&) = delete;
    CHttpTransfer& operator=(const CHttpTransfer&) = delete;

    // False when libcurl could not create a handle.
    bool IsValid() const { return m_curl != nullptr; }
    // True only for a complete 2xx answer; otherwise error says why.
    bool Perform(const CTransferRequest& request, const CTransferSettings& settings, ITransferSink& sink,
                 std::string& error);
    // Bytes of the last answer as they came over the wire.
    curl_off_t GetReceivedBytes() const;
    // The HTTP status of the last answer; 0 when none came.
    long GetStatus() const;

private:
    CURL* m_curl = nullptr;
};
