#include "HttpResponse.h"

void CHttpResponse::SetContent(std::string content, std::string type)
{
    body = std::move(content);
    contentType = std::move(type);
}

void CHttpResponse::SetHeader(const std::string& name, const std::string& value)
{
    for (auto& header : headers)
        if (EqualsIgnoringCase(header.first, name)) {
            header.second = value;
            return;
        }
    headers.emplace_back(name, value);
}

void CHttpResponse::Redirect(const std::string& location)
{
    status = 302;
    SetHeader("Location", location);
}
