#include "HttpClient.h"

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

std::string Trim(std::string_view text)
{
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos)
        return {};
    size_t end = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(begin, end - begin + 1));
}
// The setters of a bound, which must be above 0.
template <typename T>
bool SetPositive(bool hasTransfer, T value, T& bound, const char* what, const char* context)
{
    if (!hasTransfer || value <= 0) {
        ReportError(hasTransfer ? std::string("bad ") + what + " " + std::to_string(value) : "no transfer", context);
        return false;
    }
    bound = value;
    return true;
}
}  // namespace

// One request in flight: the target file its body goes into, the headers of the response
// being read and the progress shown.
class CHttpClient::CTarget : public ITransferSink
{
public:
    CTarget(CHttpClient& client, long requestId, bool notify, std::string target)
        : m_client(client), m_requestId(requestId), m_notify(notify), m_target(std::move(target))
    {
    }

    void OnHeaderLine(std::string_view line) override
    {
        if (line.starts_with("HTTP/")) {
            // Each response (redirect, interim or final) starts a table of its own.
            m_pending.clear();
            m_inHeaders = true;
        } else if (!m_inHeaders) {
            // trailers after a chunked body
        } else if (line == "\r\n" || line == "\n") {
            m_inHeaders = false;
            m_client.HeadersDone(m_requestId, m_pending);
        } else if ((line.front() == ' ' || line.front() == '\t') && !m_pending.empty()) {
            std::string& value = m_pending.back().second;
            value += ' ';
            value += Trim(line);
        } else if (size_t colon = line.find(':'); colon != std::string_view::npos && colon > 0) {
            m_pending.emplace_back(std::string(line.substr(0, colon)), Trim(line.substr(colon + 1)));
        }
    }

    bool OnBody(std::string_view data, std::string& error) override
    {
        if ((!m_opened && !OpenTarget()) || !WriteAll(m_fd, data)) {
            error = "cannot write " + m_target + ": " + std::strerror(errno);
            return false;
        }
        return true;
    }

    bool OnProgress(curl_off_t now, curl_off_t total) override
    {
        if (!m_notify)
            return true;
        if (m_client.m_abort)
            return false;
        if (now == m_lastNow)
            return true;
        auto time = std::chrono::steady_clock::now();
        if (time - m_lastPost >= kProgressInterval || now == total) {
            m_lastPost = time;
            m_lastNow = now;
            m_client.PostProgress(now, total);
        }
        return true;
    }

    // A complete body is flushed before anyone moves it over a good file.
    bool Finish(std::string& error)
    {
        if (!m_opened && !OpenTarget()) {
            error = "cannot create " + m_target + ": " + std::strerror(errno);
            return false;
        }
        bool ok = sys::fsync(m_fd) == 0;
        int saved = errno;
        ok = ::close(m_fd) == 0 && ok;
        m_fd = -1;
        if (!ok)
            error = "cannot write " + m_target + ": " + std::strerror(saved);
        return ok;
    }

    // Nothing of a failed transfer may look like a complete file.
    void Discard()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        if (m_opened)
            ::unlink(m_target.c_str());
        m_opened = false;
    }

private:
    bool OpenTarget()
    {
        m_fd = sys::open(m_target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        m_opened = m_fd >= 0;
        return m_opened;
    }

    CHttpClient& m_client;
    long m_requestId;
    bool m_notify;
    std::string m_target;
    CHeaderList m_pending;
    bool m_inHeaders = false;
    int m_fd = -1;
    bool m_opened = false;
    std::chrono::steady_clock::time_point m_lastPost{};
    curl_off_t m_lastNow = -1;
};

CHttpClient::CHttpClient(IModalRunner& runner, const CDownloadMessages& messages)
    : m_runner(runner), m_messages(messages)
{
}

CHttpClient::~CHttpClient()
{
    curl_slist_free_all(m_headerList);
}

bool CHttpClient::CreateTransfer(std::string& error)
{
    m_transfer = std::make_unique<CHttpTransfer>();
    if (!m_transfer->IsValid()) {
        m_transfer.reset();
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
    if (!IsPlainHost(host) || !IsPort(port)) {
        ReportError("bad server address \"" + host + "\" port " + std::to_string(port), context);
        return false;
    }
    m_host = host;
    m_port = port;
    return true;
}

bool CHttpClient::SetFirewallProperties(const std::string& host, int port, CFirewallType type, const std::string& user,
                                        const std::string& password)
{
    const char* context = "CHttpClient::SetFirewallProperties";
    if (!HasTransfer()) {
        ReportError("no transfer", context);
        return false;
    }
    m_settings.firewallType = type;
    m_settings.firewallHost = host;
    m_settings.firewallPort = port;
    m_settings.firewallUser = user;
    m_settings.firewallPassword = password;
    std::string refused = m_settings.CheckFirewall();
    if (!refused.empty()) {
        ReportError(refused, context);
        return false;
    }
    return true;
}

bool CHttpClient::SetTimeout(int seconds)
{
    return SetPositive(HasTransfer(), seconds, m_settings.timeoutSeconds, "time-out", "CHttpClient::SetTimeout");
}

bool CHttpClient::SetDeadline(int seconds)
{
    return SetPositive(HasTransfer(), seconds, m_settings.deadlineSeconds, "deadline", "CHttpClient::SetDeadline");
}

bool CHttpClient::SetSizeLimit(curl_off_t bytes)
{
    return SetPositive(HasTransfer(), bytes, m_settings.maxBytes, "size limit", "CHttpClient::SetSizeLimit");
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
    return "http://" + HostForUrl(m_host) + ":" + std::to_string(m_port) + path;
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

    CTarget target(*this, m_nextRequestId++, notify, m_fileName);
    CTransferRequest request;
    request.url = BuildUrl();
    request.headers = m_headerList;
    request.acceptEncoding = kDecodedEncodings;
    request.headOnly = method == CMethod::Head;
    bool ok = m_transfer->Perform(request, m_settings, target, error);
    if (ok && method == CMethod::Get)
        ok = target.Finish(error);
    if (!ok) {
        target.Discard();
    } else if (notify) {
        curl_off_t bytes = m_transfer->GetReceivedBytes();
        PostProgress(bytes, bytes);
    }
    return ok;
}
