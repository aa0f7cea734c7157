#include "HttpTransfer.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include "Settings.h"
#include "SystemCalls.h"

namespace
{
void InitCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// URLs are built by plain concatenation; before one goes on the wire the characters that
// cannot stand in a URL (blank, controls, '"', '<', '>', non-ASCII) are percent-encoded.
std::string EncodeUrlForTransfer(std::string_view url)
{
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(url.size());
    for (unsigned char c : url) {
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool IsSuccessStatus(long status) { return status >= 200 && status <= 299; }

// What one perform has seen, shared with libcurl's callbacks.
struct CRun
{
    CURL* curl;
    ITransferSink& sink;
    curl_off_t maxBytes;
    curl_off_t received = 0;
    bool tooLarge = false;
    long refusedStatus = 0;
    std::string sinkError;
};

size_t OnHeader(char* data, size_t size, size_t count, void* user)
{
    size_t n = size * count;
    static_cast<CRun*>(user)->sink.OnHeaderLine(std::string_view(data, n));
    return n;
}

size_t OnBody(char* data, size_t size, size_t count, void* user)
{
    auto& run = *static_cast<CRun*>(user);
    size_t n = size * count;
    long status = 0;
    curl_easy_getinfo(run.curl, CURLINFO_RESPONSE_CODE, &status);
    if (!IsSuccessStatus(status)) {
        // An error page never reaches the sink; stop reading it.
        run.refusedStatus = status;
        return 0;
    }
    // Counted after decoding, so a small compressed answer cannot grow past the cap either.
    if (static_cast<curl_off_t>(n) > run.maxBytes - run.received) {
        run.tooLarge = true;
        return 0;
    }
    run.received += static_cast<curl_off_t>(n);
    if (!run.sink.OnBody(std::string_view(data, n), run.sinkError)) {
        if (run.sinkError.empty())
            run.sinkError = "the transfer was stopped";
        return 0;
    }
    return n;
}

int OnProgress(void* user, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t, curl_off_t)
{
    auto& run = *static_cast<CRun*>(user);
    if (run.sink.OnProgress(dlNow, dlTotal))
        return 0;
    run.sinkError = "the transfer was stopped";
    return 1;
}

std::string ProxyUrl(const CTransferSettings& settings)
{
    const char* scheme = nullptr;
    switch (settings.firewallType) {
    case CFirewallType::Socks4:
        scheme = "socks4://";
        break;
    case CFirewallType::Socks5:
        scheme = "socks5h://";
        break;
    case CFirewallType::Proxy:
    case CFirewallType::Pipe:
        scheme = "http://";
        break;
    default:
        return {};  // "" turns off any proxy from the environment
    }
    return scheme + HostForUrl(settings.firewallHost) + ":" + std::to_string(settings.firewallPort);
}
}  // namespace

bool IsPlainHost(const std::string& host)
{
    if (host.empty() || host.size() > 253)
        return false;
    return std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == ':';
    });
}

bool IsPort(int port) { return port > 0 && port <= 65535; }

std::string HostForUrl(const std::string& host)
{
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

CTransferSettings CTransferSettings::FromSettings(curl_off_t maxBytes)
{
    CTransferSettings settings;
    settings.firewallType = GetFirewallType();
    settings.firewallHost = GetFirewallHost();
    settings.firewallPort = GetFirewallPort();
    settings.firewallUser = GetFirewallUsername();
    settings.firewallPassword = GetFirewallPassword();
    settings.timeoutSeconds = GetHttpTimeout();
    settings.deadlineSeconds = GetHttpDeadline();
    settings.maxBytes = maxBytes;
    return settings;
}

std::string CTransferSettings::CheckFirewall() const
{
    const std::string number = std::to_string(static_cast<int>(firewallType));
    std::string type = " (FirewallType " + number + "): nothing is sent";
    if (firewallType == CFirewallType::None)
        return {};
    if (!IsFirewallType(firewallType))
        return "FirewallType " + number + " is not a firewall type: nothing is sent";
    if (firewallHost.empty())
        return "FirewallHost is empty" + type;
    if (!IsPlainHost(firewallHost))
        return "FirewallHost \"" + firewallHost + "\" is not a host name" + type;
    if (!IsPort(firewallPort))
        return "FirewallPort " + std::to_string(firewallPort) + " is not a port" + type;
    return {};
}

CHttpTransfer::CHttpTransfer()
{
    InitCurlOnce();
    m_curl = curl_easy_init();
}

CHttpTransfer::~CHttpTransfer()
{
    if (m_curl)
        curl_easy_cleanup(m_curl);
}

namespace
{
// libcurl copies every string option, so the texts need not outlive these calls.
void SetRequestOptions(CURL* curl, const CTransferRequest& request, const curl_slist* headers)
{
    std::string url = EncodeUrlForTransfer(request.url);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, const_cast<curl_slist*>(headers));
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, request.acceptEncoding);
    if (request.headOnly) {
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    } else if (request.postBody) {
        // Not copied: the caller's body outlives the transfer.
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.postBody->size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.postBody->data());
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
}

// The request's headers, and for a POST its Content-Type and no "Expect: 100-continue",
// which would cost a large body a second's wait on a server that does not answer it.
class CRequestHeaders
{
public:
    explicit CRequestHeaders(const CTransferRequest& request)
    {
        if (!request.postBody) {
            m_headers = request.headers;
            return;
        }
        for (const curl_slist* header = request.headers; header; header = header->next)
            Append(header->data);
        if (!request.contentType.empty())
            Append(("Content-Type: " + request.contentType).c_str());
        Append("Expect:");
        m_headers = m_owned;
    }
    ~CRequestHeaders() { curl_slist_free_all(m_owned); }
    CRequestHeaders(const CRequestHeaders&) = delete;
    CRequestHeaders& operator=(const CRequestHeaders&) = delete;

    const curl_slist* Get() const { return m_headers; }

private:
    void Append(const char* header)
    {
        if (curl_slist* list = curl_slist_append(m_owned, header))
            m_owned = list;
    }

    curl_slist* m_owned = nullptr;
    const curl_slist* m_headers = nullptr;
};

void SetFirewallOptions(CURL* curl, const CTransferSettings& settings)
{
    std::string proxy = ProxyUrl(settings);
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "");  // the firewall setting wins over no_proxy
    curl_easy_setopt(curl, CURLOPT_HTTPPROXYTUNNEL, settings.firewallType == CFirewallType::Pipe ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    bool credentials = settings.firewallType != CFirewallType::None && !settings.firewallUser.empty();
    curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, credentials ? settings.firewallUser.c_str() : nullptr);
    curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, credentials ? settings.firewallPassword.c_str() : nullptr);
}

void SetLimitOptions(CURL* curl, const CTransferSettings& settings)
{
    // HttpTimeout bounds connecting and any stall; a server that drips stays within it,
    // so the deadline bounds the whole.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(settings.timeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(settings.timeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(settings.deadlineSeconds));
    // An announced length over the cap is refused before the body.
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, settings.maxBytes);
}

void SetCallbacks(CURL* curl, CRun& run)
{
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &run);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &run);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &run);
}

// Why a transfer failed, in the words of what stopped it first.
std::string DescribeFailure(CURLcode rc, long status, const CRun& run, const CTransferSettings& settings,
                            const char* message)
{
    std::string error;
    if (run.refusedStatus)
        error = "HTTP status " + std::to_string(run.refusedStatus);
    else if (run.tooLarge || rc == CURLE_FILESIZE_EXCEEDED)
        error = "the answer is larger than " + std::to_string(settings.maxBytes) + " bytes";
    else if (!run.sinkError.empty())
        error = run.sinkError;
    else if (rc != CURLE_OK)
        error = *message ? message : curl_easy_strerror(rc);
    else
        error = "HTTP status " + std::to_string(status);
    if (rc == CURLE_OPERATION_TIMEDOUT)
        error += " (HttpTimeout " + std::to_string(settings.timeoutSeconds) + " s, HttpDeadline " +
                 std::to_string(settings.deadlineSeconds) + " s)";
    return error;
}
}  // namespace

bool CHttpTransfer::Perform(const CTransferRequest& request, const CTransferSettings& settings, ITransferSink& sink,
                            std::string& error)
{
    if (!m_curl) {
        error = "libcurl cannot create a transfer";
        return false;
    }
    error = settings.CheckFirewall();
    if (!error.empty())
        return false;

    CRun run{m_curl, sink, settings.maxBytes, 0, false, 0, {}};
    const CRequestHeaders headers(request);
    SetRequestOptions(m_curl, request, headers.Get());
    SetFirewallOptions(m_curl, settings);
    SetLimitOptions(m_curl, settings);
    SetCallbacks(m_curl, run);

    char message[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, message);
    CURLcode rc = sys::curl_perform(m_curl);
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, nullptr);
    // The next request on this handle must not see this one's headers or body.
    curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(m_curl, CURLOPT_POSTFIELDS, nullptr);
    long status = 0;
    curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &status);
    if (rc == CURLE_OK && IsSuccessStatus(status))
        return true;
    error = DescribeFailure(rc, status, run, settings, message);
    return false;
}

curl_off_t CHttpTransfer::GetReceivedBytes() const
{
    curl_off_t bytes = 0;
    if (m_curl)
        curl_easy_getinfo(m_curl, CURLINFO_SIZE_DOWNLOAD_T, &bytes);
    return bytes;
}

long CHttpTransfer::GetStatus() const
{
    long status = 0;
    if (m_curl)
        curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &status);
    return status;
}
