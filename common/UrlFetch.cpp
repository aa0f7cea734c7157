#include "UrlFetch.h"

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
