#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <curl/curl.h>

#include "HttpTransfer.h"
#include "Messages.h"
#include "ModalDialog.h"

// A small HTTP/1.1 client over libcurl: fixed request headers, the body saved into a
// named file, an optional modal progress dialog, and the headers of the last response.
// All operations run on the thread that owns the object; a download with progress runs
// the transfer on a helper thread that only posts to the dialog.
class CHttpClient
{
public:
    // Header name to value, names compared case-sensitively; one entry per name.
    using CHeaderTable = std::map<std::string, std::string>;
    // The headers of one response, in the order they arrived.
    using CHeaderList = std::vector<std::pair<std::string, std::string>>;

    virtual ~CHttpClient();
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    bool SetServerProperties(const std::string& host, int port);
    // The user name and password go to the proxy. A firewall that cannot be used is kept,
    // so that every transfer fails rather than going around it.
    bool SetFirewallProperties(const std::string& host, int port, CFirewallType type, const std::string& user,
                               const std::string& password);
    // Bounds connecting and any stall of the transfer, not its whole length.
    bool SetTimeout(int seconds);
    // Bounds the whole transfer.
    bool SetDeadline(int seconds);
    // The largest body a download may bring; a larger one fails and leaves no file.
    bool SetSizeLimit(curl_off_t bytes);
    bool SetFileName(const std::string& path);
    // Adds the five request headers again on every call.
    bool SetUri(const std::string& uri);
    // GET of the request URI into the target file. True only for a complete 2xx answer;
    // a failed transfer leaves no body in the target and never touches another file.
    bool Download(bool showProgress, bool saveTimeStamp);
    // The headers of one response arrived: the table is refilled, first occurrence wins.
    void HeadersDone(long requestId, const CHeaderList& headers);
    // The progress dialog's window while it shows, 0 otherwise.
    void SetNotifyWindow(HWND window);

    const CHeaderTable& GetResponseHeaders() const { return m_headers; }
    const std::string& GetFileName() const { return m_fileName; }
    const std::string& GetUri() const { return m_uri; }
    // The request headers as they will be sent, in order (repeats included).
    const CHeaderList& GetRequestHeaders() const { return m_requestHeaders; }

    // The time-stamp file kept beside a target file.
    static std::string TimeStampFileName(const std::string& target);

protected:
    CHttpClient(IModalRunner& runner, const CDownloadMessages& messages);

    enum class CMethod
    {
        Head,
        Get,
    };

    // Creates (or recreates) the transfer; false when libcurl cannot.
    bool CreateTransfer(std::string& error);
    bool HasTransfer() const { return m_transfer != nullptr; }
    // One request on the calling thread; a GET's 2xx body goes into the target file.
    // notify: post the progress to the notification window.
    bool Perform(CMethod method, std::string& error, bool notify = false);

private:
    class CTarget;

    bool DownloadWithProgress(std::string& error);
    void ResetNotifyState();
    void PostProgress(long long bytes, long long total);
    void PostDone();
    std::string BuildUrl() const;

    IModalRunner& m_runner;
    CDownloadMessages m_messages;

    std::unique_ptr<CHttpTransfer> m_transfer;
    CTransferSettings m_settings;
    curl_slist* m_headerList = nullptr;
    CHeaderList m_requestHeaders;
    CHeaderTable m_headers;
    long m_nextRequestId = 1;

    std::string m_host;
    int m_port = 80;
    std::string m_fileName;
    std::string m_uri;

    // Shared with the helper thread of a download with progress.
    std::mutex m_notifyMutex;
    HWND m_notifyWindow = 0;
    bool m_transferDone = false;
    bool m_donePosted = false;
    long long m_lastBytes = -1;
    long long m_lastTotal = 0;
    std::atomic<bool> m_abort{false};
};
