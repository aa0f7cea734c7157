#include "HttpClient.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include "DownloadDialog.h"
#include "ErrorReport.h"
#include "FileUtil.h"
#include "SystemCalls.h"
#include "UrlFetch.h"

namespace
{
// Sent by SetUri, in this order.
const std::pair<const char*, const char*> kRequestHeaders[] = {
    {"Connection", "Keep-Alive"},
    {"Accept", "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*"},
    {"Accept-Language", "en-us"},
    {"Accept-Encoding", "gzip, deflate"},
    {"User-Agent", "Mozilla/4.0 (compatible; MSIE 5.01; Windows NT)"},
};

// Bodies that libcurl decodes; must match what the Accept-Encoding header advertises.
constexpr const char* kDecodedEncodings = "gzip, deflate";

constexpr auto kProgressInterval = std::chrono::milliseconds(50);

bool IsSuccessStatus(long status) { return status >= 200 && status <= 299; }

// A host name or address literal; anything else could smuggle user info or a path into
// the URL we build from it.
bool IsPlainHost(const std::string& host)
{
    if (host.empty() || host.size() > 253)
        return false;
    return std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == ':';
    });
}

std::string HostForUrl(const std::string& host)
{
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

std::string Trim(std::string_view text)
{
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos)
        return {};
    size_t end = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(begin, end - begin + 1));
}

}  // namespace

// One request in flight: where its body goes and the headers of the response being read.
struct CHttpClient::CTransfer
{
    CHttpClient* client = nullptr;
    long requestId = 0;
    bool notify = false;

    CHeaderList pending;
    bool inHeaders = false;

    std::string target;
    int fd = -1;
    bool opened = false;
    int writeErrno = 0;
    long refusedStatus = 0;

    std::chrono::steady_clock::time_point lastPost{};
    curl_off_t lastNow = -1;

    bool OpenTarget()
    {
        fd = sys::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            writeErrno = errno;
            return false;
        }
        opened = true;
        return true;
    }

    // A complete body is flushed before anyone moves it over a good file.
    bool FinishTarget(std::string& error)
    {
        if (!opened && !OpenTarget()) {
            error = "cannot create " + target + ": " + std::strerror(writeErrno);
            return false;
        }
        bool ok = sys::fsync(fd) == 0;
        int saved = errno;
        ok = ::close(fd) == 0 && ok;
        fd = -1;
        if (!ok)
            error = "cannot write " + target + ": " + std::strerror(saved);
        return ok;
    }

    // Nothing of a failed transfer may look like a complete file.
    void DiscardTarget()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        if (opened)
            ::unlink(target.c_str());
        opened = false;
    }
};

CHttpClient::CHttpClient(IModalRunner& runner, const CDownloadMessages& messages)
    : m_runner(runner), m_messages(messages)
{
}

CHttpClient::~CHttpClient()
{
    if (m_curl)
        curl_easy_cleanup(m_curl);
    curl_slist_free_all(m_headerList);
}

bool CHttpClient::CreateTransfer(std::string& error)
{
    InitCurlOnce();
    if (m_curl)
        curl_easy_cleanup(m_curl);
    m_curl = curl_easy_init();
    if (!m_curl) {
        error = "libcurl cannot create a transfer";
        return false;
    }
    return true;
}

bool CHttpClient::SetServerProperties(const std::string& host, int port)
{
    const char* context = "CHttpClient::SetServerProperties";
    if (!HasTransfer()) {
        ReportError("no transfer", context);
        return false;
    }
    if (!IsPlainHost(host) || port <= 0 || port > 65535) {
        ReportError("bad server address \"" + host + "\" port " + std::to_string(port), context);
        return false;
    }
    m_host = host;
    m_port = port;
    return true;
}

bool CHttpClient::SetFirewallProperties(const std::string& host, int port, int type, const std::string& user,
                                        const std::string& password)
{
    const char* context = "CHttpClient::SetFirewallProperties";
    if (!HasTransfer()) {
        ReportError("no transfer", context);
        return false;
    }
    // A firewall we cannot use leaves the connection direct, as "None" does.
    m_firewallType = 0;
    if (type < 0 || type > 4) {
        ReportError("unknown firewall type " + std::to_string(type), context);
        return false;
    }
    if (type != 0 && (!IsPlainHost(host) || port <= 0 || port > 65535)) {
        ReportError("bad firewall address \"" + host + "\" port " + std::to_string(port), context);
        return false;
    }
    m_firewallHost = host;
    m_firewallPort = port;
    m_firewallType = type;
    m_firewallUser = user;
    m_firewallPassword = password;
    return true;
}

bool CHttpClient::SetTimeout(int seconds)
{
    const char* context = "CHttpClient::SetTimeout";
    if (!HasTransfer()) {
        ReportError("no transfer", context);
        return false;
    }
    if (seconds <= 0) {
        ReportError("bad time-out " + std::to_string(seconds), context);
        return false;
    }
    m_timeout = seconds;
    return true;
}

bool CHttpClient::SetFileName(const std::string& path)
{
    if (!HasTransfer()) {
        ReportError("no transfer", "CHttpClient::SetFileName");
        return false;
    }
    m_fileName = path;
    return true;
}

bool CHttpClient::SetUri(const std::string& uri)
{
    const char* context = "CHttpClient::SetUri";
    if (!HasTransfer()) {
        ReportError("no transfer", context);
        return false;
    }
    m_uri = uri;
    for (const auto& [name, value] : kRequestHeaders) {
        std::string line = std::string(name) + ": " + value;
        curl_slist* appended = curl_slist_append(m_headerList, line.c_str());
        if (!appended) {
            ReportError("out of memory", context);
            return false;
        }
        m_headerList = appended;
        m_requestHeaders.emplace_back(name, value);
    }
    return true;
}

bool CHttpClient::Download(bool showProgress, bool saveTimeStamp)
{
    const char* context = "CHttpClient::Download";
    std::string error;
    bool ok = showProgress ? DownloadWithProgress(error) : Perform(CMethod::Get, error);
    if (!ok) {
        ReportError(error, context);
        return false;
    }
    if (saveTimeStamp) {
        auto it = m_headers.find("Last-Modified");
        std::string stamp = it != m_headers.end() ? it->second : std::string();
        if (!WriteFileAtomically(TimeStampFileName(m_fileName), stamp, 0644))
            ReportError("cannot write " + TimeStampFileName(m_fileName), context);
    }
    return true;
}

void CHttpClient::HeadersDone(long requestId, const CHeaderList& headers)
{
    (void)requestId;
    m_headers.clear();
    for (const auto& [name, value] : headers)
        m_headers.emplace(name, value);  // never replaces: the first occurrence wins
}

void CHttpClient::SetNotifyWindow(HWND window)
{
    std::lock_guard lock(m_notifyMutex);
    m_notifyWindow = window;
    // A transfer that finished before the dialog opened still ends it.
    if (window && m_transferDone && !m_donePosted) {
        if (m_lastBytes >= 0)
            PostMessage(window, m_messages.progress, static_cast<WPARAM>(m_lastBytes), static_cast<LPARAM>(m_lastTotal));
        PostMessage(window, m_messages.done, 0, 0);
        m_donePosted = true;
        m_notifyWindow = 0;
    }
}

std::string CHttpClient::TimeStampFileName(const std::string& target) { return target + "_ts"; }

void CHttpClient::ResetNotifyState()
{
    std::lock_guard lock(m_notifyMutex);
    m_notifyWindow = 0;
    m_transferDone = false;
    m_donePosted = false;
    m_lastBytes = -1;
    m_lastTotal = 0;
}

void CHttpClient::PostProgress(long long bytes, long long total)
{
    std::lock_guard lock(m_notifyMutex);
    m_lastBytes = bytes;
    m_lastTotal = total;
    if (m_notifyWindow)
        PostMessage(m_notifyWindow, m_messages.progress, static_cast<WPARAM>(bytes), static_cast<LPARAM>(total));
}

void CHttpClient::PostDone()
{
    std::lock_guard lock(m_notifyMutex);
    m_transferDone = true;
    if (m_notifyWindow) {
        PostMessage(m_notifyWindow, m_messages.done, 0, 0);
        m_donePosted = true;
        m_notifyWindow = 0;
    }
}

bool CHttpClient::DownloadWithProgress(std::string& error)
{
    if (!HasTransfer()) {
        error = "no transfer";
        return false;
    }
    ResetNotifyState();
    m_abort = false;
    bool transferred = false;
    std::string transferError;
    std::thread helper;
    try {
        helper = std::thread([this, &transferred, &transferError] {
            transferred = Perform(CMethod::Get, transferError, true);
            PostDone();
        });
    } catch (const std::system_error& e) {
        error = std::string("cannot start the transfer: ") + e.what();
        return false;
    }
    // Whatever ends the dialog, the transfer stops and the helper is gone before we return.
    struct CJoin
    {
        std::thread& thread;
        std::atomic<bool>& abort;
        ~CJoin()
        {
            abort = true;
            thread.join();
        }
    };
    int result = 0;
    {
        CJoin join{helper, m_abort};
        CDownloadDialog dialog(*this, m_messages);
        result = m_runner.RunModal(dialog);
    }
    ResetNotifyState();
    if (!transferred) {
        error = transferError;
        return false;
    }
    if (result != IDOK) {
        // The body is complete, but the caller was told otherwise: do not leave it behind.
        ::unlink(m_fileName.c_str());
        error = "download dialog ended with " + std::to_string(result);
        return false;
    }
    return true;
}

std::string CHttpClient::BuildUrl() const
{
    std::string path = m_uri.empty() || m_uri.front() != '/' ? "/" + m_uri : m_uri;
    return EncodeUrlForTransfer("http://" + HostForUrl(m_host) + ":" + std::to_string(m_port) + path);
}

std::string CHttpClient::BuildProxy() const
{
    const char* scheme = nullptr;
    switch (m_firewallType) {
    case 1:
        scheme = "socks4://";
        break;
    case 2:
        scheme = "socks5h://";
        break;
    case 3:
    case 4:
        scheme = "http://";
        break;
    default:
        return {};  // "" turns off any proxy from the environment
    }
    return scheme + HostForUrl(m_firewallHost) + ":" + std::to_string(m_firewallPort);
}

void CHttpClient::ApplyOptions(CTransfer& transfer, CMethod method)
{
    CURL* curl = m_curl;
    std::string url = BuildUrl();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, m_headerList);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, kDecodedEncodings);

    std::string proxy = BuildProxy();
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "");  // the firewall setting wins over no_proxy
    curl_easy_setopt(curl, CURLOPT_HTTPPROXYTUNNEL, m_firewallType == 4 ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    bool credentials = m_firewallType != 0 && !m_firewallUser.empty();
    curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, credentials ? m_firewallUser.c_str() : nullptr);
    curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, credentials ? m_firewallPassword.c_str() : nullptr);

    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(m_timeout));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(m_timeout));

    if (method == CMethod::Head)
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    else
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);

    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &CHttpClient::OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CHttpClient::OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CHttpClient::OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
}

bool CHttpClient::Perform(CMethod method, std::string& error, bool notify)
{
    if (!HasTransfer()) {
        error = "no transfer";
        return false;
    }
    if (m_host.empty()) {
        error = "no server";
        return false;
    }
    if (method == CMethod::Get && m_fileName.empty()) {
        error = "no target file";
        return false;
    }
    // The table describes the answer to this request, or none.
    m_headers.clear();

    CTransfer transfer;
    transfer.client = this;
    transfer.requestId = m_nextRequestId++;
    transfer.notify = notify;
    transfer.target = m_fileName;
    ApplyOptions(transfer, method);

    char message[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, message);
    CURLcode rc = curl_easy_perform(m_curl);
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, nullptr);
    long status = 0;
    curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &status);

    bool ok = rc == CURLE_OK && IsSuccessStatus(status);
    if (!ok) {
        if (transfer.refusedStatus)
            error = "HTTP status " + std::to_string(transfer.refusedStatus);
        else if (transfer.writeErrno)
            error = "cannot write " + transfer.target + ": " + std::strerror(transfer.writeErrno);
        else if (rc != CURLE_OK)
            error = *message ? message : curl_easy_strerror(rc);
        else
            error = "HTTP status " + std::to_string(status);
    }
    if (ok && method == CMethod::Get)
        ok = transfer.FinishTarget(error);
    if (!ok)
        transfer.DiscardTarget();
    else if (notify) {
        curl_off_t bytes = 0;
        curl_easy_getinfo(m_curl, CURLINFO_SIZE_DOWNLOAD_T, &bytes);
        PostProgress(bytes, bytes);
    }
    return ok;
}

size_t CHttpClient::OnHeader(char* data, size_t size, size_t count, void* user)
{
    auto& transfer = *static_cast<CTransfer*>(user);
    size_t n = size * count;
    std::string_view line(data, n);
    if (line.starts_with("HTTP/")) {
        // Each response (redirect, interim or final) starts a table of its own.
        transfer.pending.clear();
        transfer.inHeaders = true;
    } else if (!transfer.inHeaders) {
        // trailers after a chunked body
    } else if (line == "\r\n" || line == "\n") {
        transfer.inHeaders = false;
        transfer.client->HeadersDone(transfer.requestId, transfer.pending);
    } else if ((line.front() == ' ' || line.front() == '\t') && !transfer.pending.empty()) {
        std::string& value = transfer.pending.back().second;
        value += ' ';
        value += Trim(line);
    } else if (size_t colon = line.find(':'); colon != std::string_view::npos && colon > 0) {
        transfer.pending.emplace_back(std::string(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    }
    return n;
}

size_t CHttpClient::OnBody(char* data, size_t size, size_t count, void* user)
{
    auto& transfer = *static_cast<CTransfer*>(user);
    size_t n = size * count;
    long status = 0;
    curl_easy_getinfo(transfer.client->m_curl, CURLINFO_RESPONSE_CODE, &status);
    if (!IsSuccessStatus(status)) {
        // An error page never reaches the target; stop reading it.
        transfer.refusedStatus = status;
        return 0;
    }
    if (!transfer.opened && !transfer.OpenTarget())
        return 0;
    if (!WriteAll(transfer.fd, std::string_view(data, n))) {
        transfer.writeErrno = errno;
        return 0;
    }
    return n;
}

int CHttpClient::OnProgress(void* user, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal, curl_off_t ulNow)
{
    (void)ulTotal, (void)ulNow;
    auto& transfer = *static_cast<CTransfer*>(user);
    CHttpClient& client = *transfer.client;
    if (!transfer.notify)
        return 0;
    if (client.m_abort)
        return 1;
    if (dlNow == transfer.lastNow)
        return 0;
    auto now = std::chrono::steady_clock::now();
    if (now - transfer.lastPost >= kProgressInterval || dlNow == dlTotal) {
        transfer.lastPost = now;
        transfer.lastNow = dlNow;
        client.PostProgress(dlNow, dlTotal);
    }
    return 0;
}
