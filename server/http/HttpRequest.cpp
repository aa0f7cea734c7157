#include "HttpRequest.h"

namespace
{
int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AddFields(std::string_view text, CHeaderList& fields)
{
    while (!text.empty()) {
        std::string_view field = NextPiece(text, "&");
        if (field.empty())
            continue;
        std::string_view name = NextPiece(field, "=");  // field keeps the value
        fields.emplace_back(DecodeUrl(name, true), DecodeUrl(field, true));
    }
}

// The value of a parameter of a header value, such as boundary=... or name="...".
std::string HeaderParameter(std::string_view value, std::string_view name)
{
    size_t at = 0;
    while ((at = value.find(';', at)) != std::string_view::npos) {
        ++at;
        while (at < value.size() && value[at] == ' ')
            ++at;
        if (!EqualsIgnoringCase(value.substr(at, name.size()), name) || value.substr(at + name.size(), 1) != "=")
            continue;
        std::string_view rest = value.substr(at + name.size() + 1);
        if (!rest.empty() && rest.front() == '"') {
            size_t close = rest.find('"', 1);
            return std::string(rest.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
        }
        return std::string(rest.substr(0, rest.find(';')));
    }
    return {};
}

void ParseMultipart(std::string_view body, const std::string& boundary, CHttpRequest& request)
{
    std::string delimiter = "--" + boundary;
    size_t at = body.find(delimiter);
    while (at != std::string_view::npos) {
        at += delimiter.size();
        if (body.substr(at, 2) == "--")
            return;  // the closing delimiter
        size_t headEnd = body.find("\r\n\r\n", at);
        if (headEnd == std::string_view::npos)
            return;
        std::string_view head = body.substr(at, headEnd - at);
        size_t next = body.find("\r\n" + delimiter, headEnd + 4);
        if (next == std::string_view::npos)
            return;  // a part without its end is not taken
        CFormFile part;
        part.content = body.substr(headEnd + 4, next - headEnd - 4);
        bool isFile = false;
        while (!head.empty()) {
            std::string_view header = NextPiece(head, "\r\n");
            size_t colon = header.find(':');
            if (colon == std::string_view::npos)
                continue;
            std::string_view name = header.substr(0, colon);
            std::string_view value = header.substr(colon + 1);
            while (!value.empty() && value.front() == ' ')
                value.remove_prefix(1);
            if (EqualsIgnoringCase(name, "Content-Disposition")) {
                part.name = HeaderParameter(value, "name");
                isFile = value.find("filename=") != std::string_view::npos;
                part.filename = HeaderParameter(value, "filename");
            } else if (EqualsIgnoringCase(name, "Content-Type")) {
                part.contentType = value;
            }
        }
        if (isFile)
            request.files.push_back(std::move(part));
        else if (!part.name.empty())
            request.params.emplace_back(part.name, std::move(part.content));
        at = next + 2;
    }
}
}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y)
            return false;
    }
    return true;
}

std::string_view NextPiece(std::string_view& rest, std::string_view separator)
{
    size_t end = rest.find(separator);
    std::string_view piece = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + separator.size());
    return piece;
}

std::string DecodeUrl(std::string_view text, bool plusIsSpace)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else if (plusIsSpace && text[i] == '+') {
            out += ' ';
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string CHttpRequest::Header(std::string_view name) const
{
    for (const auto& [key, value] : headers)
        if (EqualsIgnoringCase(key, name))
            return value;
    return {};
}

bool CHttpRequest::HasParameter(std::string_view name) const
{
    for (const auto& field : params)
        if (field.first == name)
            return true;
    return false;
}

std::string CHttpRequest::Parameter(std::string_view name) const
{
    for (const auto& [key, value] : params)
        if (key == name)
            return value;
    return {};
}

const CFormFile* CHttpRequest::File(std::string_view name) const
{
    for (const auto& file : files)
        if (file.name == name)
            return &file;
    return nullptr;
}

void CHttpRequest::ParseTarget()
{
    size_t question = target.find('?');
    path = DecodeUrl(std::string_view(target).substr(0, question), false);
    if (question != std::string::npos)
        AddFields(std::string_view(target).substr(question + 1), params);
}

void CHttpRequest::ParseForm()
{
    std::string type = Header("Content-Type");
    std::string_view mediaType = std::string_view(type).substr(0, type.find(';'));
    if (EqualsIgnoringCase(mediaType, "application/x-www-form-urlencoded")) {
        AddFields(body, params);
    } else if (EqualsIgnoringCase(mediaType, "multipart/form-data")) {
        std::string boundary = HeaderParameter(type, "boundary");
        if (!boundary.empty())
            ParseMultipart(body, boundary, *this);
    }
}
