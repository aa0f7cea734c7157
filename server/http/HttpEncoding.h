#pragma once

#include <optional>
#include <string>
#include <string_view>

// How an answer body travels: compression where it pays, and byte ranges.
namespace HttpEncoding
{
// Bodies below this size go out as they are: compressing them costs more than it saves.
constexpr size_t kMinCompressed = 1024;

// True when an Accept-Encoding value admits gzip (not with q=0).
bool AcceptsGzip(std::string_view acceptEncoding);
// Text, XML, HTML, CSS, scripts, SVG: bodies that shrink.
bool IsCompressible(std::string_view contentType);
// gzip at a low level, which is quick and takes most of the gain; nothing on failure.
std::optional<std::string> Gzip(std::string_view body);

struct CRange
{
    size_t first = 0;
    size_t last = 0;  // inclusive
};
// A single "bytes=" range over a body of size bytes; nothing for anything else (several
// ranges, other units, malformed), which is then answered whole. unsatisfiable is set for
// a range that starts past the end.
std::optional<CRange> SingleRange(std::string_view header, size_t size, bool& unsatisfiable);
}  // namespace HttpEncoding
