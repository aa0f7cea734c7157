#include "HttpEncoding.h"

#include <charconv>

#include <zlib.h>

#include "HttpRequest.h"

namespace
{
std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool ParseSize(std::string_view text, size_t& value)
{
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}
}  // namespace

bool HttpEncoding::AcceptsGzip(std::string_view acceptEncoding)
{
    while (!acceptEncoding.empty()) {
        std::string_view item = NextPiece(acceptEncoding, ",");
        size_t semicolon = item.find(';');
        std::string_view coding = Trimmed(item.substr(0, semicolon));
        if (!EqualsIgnoringCase(coding, "gzip") && !EqualsIgnoringCase(coding, "x-gzip"))
            continue;
        if (semicolon == std::string_view::npos)
            return true;
        std::string_view quality = Trimmed(item.substr(semicolon + 1));
        // "q=0", "q=0.0", "q=0.000" refuse it; any other weight accepts.
        if (quality.size() < 3 || (quality[0] != 'q' && quality[0] != 'Q') || quality[1] != '=')
            return true;
        return quality.substr(2).find_first_not_of("0.") != std::string_view::npos;
    }
    return false;
}

bool HttpEncoding::IsCompressible(std::string_view contentType)
{
    return contentType.starts_with("text/") || contentType.find("xml") != std::string_view::npos ||
           contentType.find("json") != std::string_view::npos ||
           contentType.find("javascript") != std::string_view::npos;
}

std::optional<std::string> HttpEncoding::Gzip(std::string_view body)
{
    z_stream stream{};
    // Window bits 15 + 16: a gzip wrapper around the deflate stream.
    if (deflateInit2(&stream, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return std::nullopt;
    std::string out(deflateBound(&stream, static_cast<uLong>(body.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
    stream.avail_in = static_cast<uInt>(body.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    int result = deflate(&stream, Z_FINISH);
    size_t written = stream.total_out;
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        return std::nullopt;
    out.resize(written);
    return out;
}

std::optional<HttpEncoding::CRange> HttpEncoding::SingleRange(std::string_view header, size_t size,
                                                              bool& unsatisfiable)
{
    unsatisfiable = false;
    header = Trimmed(header);
    if (!header.starts_with("bytes=") || header.find(',') != std::string_view::npos)
        return std::nullopt;
    std::string_view spec = Trimmed(header.substr(6));
    size_t dash = spec.find('-');
    if (dash == std::string_view::npos)
        return std::nullopt;
    std::string_view from = Trimmed(spec.substr(0, dash));
    std::string_view to = Trimmed(spec.substr(dash + 1));
    size_t first = 0;
    size_t last = 0;
    if (from.empty()) {
        // "-N": the last N bytes.
        if (!ParseSize(to, last) || last == 0) {
            unsatisfiable = !to.empty() && last == 0;
            return std::nullopt;
        }
        if (size == 0) {
            unsatisfiable = true;
            return std::nullopt;
        }
        return CRange{last >= size ? 0 : size - last, size - 1};
    }
    if (!ParseSize(from, first) || (!to.empty() && (!ParseSize(to, last) || last < first)))
        return std::nullopt;
    if (first >= size) {
        unsatisfiable = true;
        return std::nullopt;
    }
    if (to.empty() || last >= size)
        last = size - 1;
    return CRange{first, last};
}
