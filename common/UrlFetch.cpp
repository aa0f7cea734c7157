#include "UrlFetch.h"

#include <cctype>

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

std::string EncodeUrlComponent(std::string_view text)
{
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    return out;
}
