#include "HttpAnswer.h"

#include <ostream>

#include <boost/beast/http/status.hpp>

#include "HttpEncoding.h"

namespace
{
// A header's name or value never ends the line early: a handler that copies request data
// into a header cannot add headers of its own.
void AppendFieldText(std::string& out, const std::string& text)
{
    for (char c : text)
        if (c != '\r' && c != '\n' && c != '\0')
            out += c;
}
}  // namespace

CHttpAnswer ShapeResponse(const CHttpRequest& request, CHttpResponse response)
{
    bool head = request.method == "HEAD";
    size_t size = response.body.size();
    bool empty = response.status == 204 || response.status == 304 || response.status < 200;
    if (!response.contentType.empty())
        response.SetHeader("Content-Type", response.contentType);
    if (response.status == 200 && !head)
        response.SetHeader("Accept-Ranges", "bytes");
    std::string range = request.Header("Range");
    if (response.status == 200 && !head && !range.empty()) {
        bool unsatisfiable = false;
        if (auto part = HttpEncoding::SingleRange(range, size, unsatisfiable)) {
            response.status = 206;
            response.SetHeader("Content-Range", "bytes " + std::to_string(part->first) + "-" +
                                                    std::to_string(part->last) + "/" + std::to_string(size));
            response.body = response.body.substr(part->first, part->last - part->first + 1);
        } else if (unsatisfiable) {
            response.status = 416;
            response.SetHeader("Content-Range", "bytes */" + std::to_string(size));
            response.body.clear();
        }
    } else if (!head && !empty && size >= HttpEncoding::kMinCompressed &&
               HttpEncoding::IsCompressible(response.contentType) &&
               HttpEncoding::AcceptsGzip(request.Header("Accept-Encoding"))) {
        response.SetHeader("Vary", "Accept-Encoding");
        if (auto packed = HttpEncoding::Gzip(response.body); packed && packed->size() < size) {
            response.SetHeader("Content-Encoding", "gzip");
            response.body = std::move(*packed);
        }
    }
    if (!request.keepAlive)
        response.SetHeader("Connection", "close");
    if (head)
        response.SetHeader("Content-Length", std::to_string(size));
    else if (!empty)
        response.SetHeader("Content-Length", std::to_string(response.body.size()));
    if (head || empty)
        response.body.clear();

    CHttpAnswer answer;
    answer.status = response.status;
    answer.bodyBytes = response.body.size();
    std::string& out = answer.bytes;
    out.reserve(256 + response.body.size());
    out += "HTTP/1.1 " + std::to_string(response.status) + " ";
    auto reason = boost::beast::http::obsolete_reason(static_cast<boost::beast::http::status>(response.status));
    out.append(reason.data(), reason.size());
    out += "\r\n";
    for (const auto& [name, value] : response.headers) {
        AppendFieldText(out, name);
        out += ": ";
        AppendFieldText(out, value);
        out += "\r\n";
    }
    out += "\r\n";
    out += response.body;
    return answer;
}
