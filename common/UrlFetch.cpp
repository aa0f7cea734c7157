#include "UrlFetch.h"

#include <mutex>

#include <curl/curl.h>

#include "HttpTransfer.h"

namespace
{
class CMemorySink : public ITransferSink
{
public:
    explicit CMemorySink(std::string& body) : m_body(body) {}

    bool OnBody(std::string_view data, std::string&) override
    {
        m_body.append(data);
        return true;
    }

private:
    std::string& m_body;
};
}  // namespace

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

void InitCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool FetchUrl(const std::string& url, std::string& body, std::string& error, const CTransferSettings& settings)
{
    body.clear();
    CHttpTransfer transfer;
    CMemorySink sink(body);
    CTransferRequest request;
    request.url = url;
    if (transfer.Perform(request, settings, sink, error))
        return true;
    body.clear();
    return false;
}
