#include "HttpEncoding.h"

#include <gtest/gtest.h>

#include <map>

#include <zlib.h>

#include "HttpAnswer.h"
#include "HttpRequest.h"

namespace
{
std::string Gunzip(const std::string& packed)
{
    z_stream stream{};
    inflateInit2(&stream, 15 + 16);
    std::string out(1 << 20, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    int result = inflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return result == Z_STREAM_END ? out : "(not gzip)";
}

std::string CompressibleText()
{
    std::string text;
    for (int i = 0; i < 500; ++i)
        text += "<class><className>Vector" + std::to_string(i) + "</className></class>\n";
    return text;
}

// The status line, the header fields by name and the body of a message as sent.
struct CParsedAnswer
{
    std::string statusLine;
    std::map<std::string, std::string> fields;
    std::string body;
    bool wellFormed = false;
};

CParsedAnswer Parse(const std::string& bytes)
{
    CParsedAnswer parsed;
    size_t end = bytes.find("\r\n\r\n");
    if (end == std::string::npos)
        return parsed;
    std::string_view head(bytes.data(), end);
    parsed.statusLine = std::string(NextPiece(head, "\r\n"));
    parsed.wellFormed = true;
    while (!head.empty()) {
        std::string_view line = NextPiece(head, "\r\n");
        size_t colon = line.find(": ");
        if (colon == std::string_view::npos || !parsed.fields.emplace(line.substr(0, colon), line.substr(colon + 2)).second)
            parsed.wellFormed = false;
    }
    parsed.body = bytes.substr(end + 4);
    return parsed;
}
}  // namespace

TEST(HttpEncodingTest, GzipOnlyWhereTheClientTakesIt)
{
    struct Case
    {
        const char* acceptEncoding;
        bool gzip;
    };
    const Case cases[] = {
        {"deflate, gzip, br, zstd", true}, {"gzip", true},         {"GZIP;q=0.5", true}, {"x-gzip", true},
        {"br", false},                     {"gzip;q=0", false},    {"gzip; q=0.000", false},
        {"", false},                       {"identity", false},    {"br, gzip;q=0.001", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HttpEncoding::AcceptsGzip(c.acceptEncoding), c.gzip) << c.acceptEncoding;
    EXPECT_TRUE(HttpEncoding::IsCompressible("text/xml; charset=UTF-8"));
    EXPECT_FALSE(HttpEncoding::IsCompressible("application/java-archive"));

    std::string text = CompressibleText();
    auto packed = HttpEncoding::Gzip(text);
    ASSERT_TRUE(packed);
    EXPECT_LT(packed->size(), text.size() / 4);
    EXPECT_EQ(Gunzip(*packed), text);
}

TEST(HttpEncodingTest, OnlySingleSatisfiableRangesAreServed)
{
    struct Case
    {
        const char* header;
        bool served;
        size_t first;
        size_t last;
        bool unsatisfiable;
    };
    const Case cases[] = {
        {"bytes=0-9", true, 0, 9, false},       {"bytes=5-", true, 5, 99, false},
        {"bytes=-10", true, 90, 99, false},     {"bytes=-500", true, 0, 99, false},
        {"bytes=90-500", true, 90, 99, false},  {"bytes=100-", false, 0, 0, true},
        {"bytes=0-,0-", false, 0, 0, false},    {"bytes=9-5", false, 0, 0, false},
        {"lines=0-9", false, 0, 0, false},      {"bytes=x-y", false, 0, 0, false},
        {"bytes=-0", false, 0, 0, true},
    };
    for (const auto& c : cases) {
        bool unsatisfiable = false;
        auto range = HttpEncoding::SingleRange(c.header, 100, unsatisfiable);
        EXPECT_EQ(range.has_value(), c.served) << c.header;
        EXPECT_EQ(unsatisfiable, c.unsatisfiable) << c.header;
        if (range && c.served) {
            EXPECT_EQ(range->first, c.first) << c.header;
            EXPECT_EQ(range->last, c.last) << c.header;
        }
    }
}

TEST(HttpEncodingTest, RequestsParseTheirTargetAndForms)
{
    CHttpRequest request;
    request.target = "/public/a%20b/c+d.xml?q=Hash*Map+x&empty=&flag&q=second&bad=%zz%4";
    request.ParseTarget();
    EXPECT_EQ(request.path, "/public/a b/c+d.xml");  // a plus is a plus in a path
    EXPECT_EQ(request.Parameter("q"), "Hash*Map x");
    EXPECT_TRUE(request.HasParameter("empty"));
    EXPECT_TRUE(request.HasParameter("flag"));
    EXPECT_EQ(request.Parameter("bad"), "%zz%4");  // broken escapes stay as they came
    EXPECT_FALSE(request.HasParameter("nothing"));

    CHttpRequest form;
    form.headers = {{"content-type", "application/x-www-form-urlencoded"}};
    form.body = "summary=Tree+stuck&details=a%26b%3Dc";
    form.ParseForm();
    EXPECT_EQ(form.Parameter("summary"), "Tree stuck");
    EXPECT_EQ(form.Parameter("details"), "a&b=c");

    CHttpRequest upload;
    upload.headers = {{"Content-Type", "multipart/form-data; boundary=\"xyz\""}};
    upload.body = "preamble\r\n--xyz\r\nContent-Disposition: form-data; name=\"note\"\r\n\r\nhello\r\n"
                  "--xyz\r\nContent-Disposition: form-data; name=\"archive\"; filename=\"my lib.jar\"\r\n"
                  "Content-Type: application/java-archive\r\n\r\nPK\x03\x04\r\n--xyz\r\n"
                  "Content-Disposition: form-data; name=\"cut\"\r\n\r\nno end";
    upload.ParseForm();
    EXPECT_EQ(upload.Parameter("note"), "hello");
    const CFormFile* archive = upload.File("archive");
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(archive->filename, "my lib.jar");
    EXPECT_EQ(archive->contentType, "application/java-archive");
    EXPECT_EQ(archive->content, "PK\x03\x04");
    EXPECT_FALSE(upload.HasParameter("cut"));  // a part without its end is not taken
}

TEST(HttpEncodingTest, AnswersAreShapedForTheirRequest)
{
    const std::string text = CompressibleText();
    const std::string size = std::to_string(text.size());
    struct Case
    {
        const char* name;
        const char* method;
        const char* range;
        const char* acceptEncoding;
        bool keepAlive;
        int status;
        std::string body;
        const char* contentType;
        const char* statusLine;
        std::map<std::string, std::string> fields;  // "" for a field that must be absent
        std::string sent;                            // the body once unpacked
    };
    const char* xml = "text/xml; charset=UTF-8";
    const char* jar = "application/java-archive";
    const Case cases[] = {
        {"large text, gzip taken", "GET", "", "deflate, gzip", true, 200, text, xml, "HTTP/1.1 200 OK",
         {{"Content-Encoding", "gzip"}, {"Vary", "Accept-Encoding"}, {"Accept-Ranges", "bytes"}, {"Connection", ""}},
         text},
        {"large text, gzip refused", "GET", "", "gzip;q=0", true, 200, text, xml, "HTTP/1.1 200 OK",
         {{"Content-Encoding", ""}, {"Vary", ""}, {"Content-Length", size}}, text},
        {"small text", "GET", "", "gzip", true, 200, "<a/>", xml, "HTTP/1.1 200 OK",
         {{"Content-Encoding", ""}, {"Content-Length", "4"}, {"Content-Type", xml}}, "<a/>"},
        {"large archive", "GET", "", "gzip", true, 200, text, jar, "HTTP/1.1 200 OK",
         {{"Content-Encoding", ""}, {"Content-Length", size}}, text},
        {"HEAD", "HEAD", "bytes=0-9", "gzip", true, 200, text, xml, "HTTP/1.1 200 OK",
         {{"Content-Length", size}, {"Content-Encoding", ""}, {"Accept-Ranges", ""}, {"Content-Range", ""}}, ""},
        {"one range, not packed", "GET", "bytes=5-9", "gzip", true, 200, text, xml, "HTTP/1.1 206 Partial Content",
         {{"Content-Range", "bytes 5-9/" + size}, {"Content-Length", "5"}, {"Content-Encoding", ""}}, text.substr(5, 5)},
        {"the last bytes", "GET", "bytes=-3", "", true, 200, text, xml, "HTTP/1.1 206 Partial Content",
         {{"Content-Range", "bytes " + std::to_string(text.size() - 3) + "-" + std::to_string(text.size() - 1) + "/" + size}},
         text.substr(text.size() - 3)},
        {"range past the end", "GET", "bytes=999999-", "gzip", true, 200, text, xml,
         "HTTP/1.1 416 Range Not Satisfiable", {{"Content-Range", "bytes */" + size}, {"Content-Length", "0"}}, ""},
        {"several ranges: the whole", "GET", "bytes=0-1,3-4", "gzip", true, 200, text, xml, "HTTP/1.1 200 OK",
         {{"Content-Range", ""}, {"Content-Encoding", ""}, {"Content-Length", size}}, text},
        {"malformed range: the whole", "GET", "bytes=x-y", "", true, 200, "abcdef", xml, "HTTP/1.1 200 OK",
         {{"Content-Range", ""}, {"Content-Length", "6"}}, "abcdef"},
        {"range of an error page", "GET", "bytes=0-1", "", true, 404, "missing", "text/html", "HTTP/1.1 404 Not Found",
         {{"Content-Range", ""}, {"Accept-Ranges", ""}, {"Content-Length", "7"}}, "missing"},
        {"304 has no body", "GET", "", "gzip", true, 304, text, xml, "HTTP/1.1 304 Not Modified",
         {{"Content-Length", ""}, {"Content-Encoding", ""}}, ""},
        {"204 has no body", "GET", "", "", true, 204, "x", "", "HTTP/1.1 204 No Content", {{"Content-Length", ""}}, ""},
        {"closing the connection", "POST", "", "", false, 200, "ok", "text/plain", "HTTP/1.1 200 OK",
         {{"Connection", "close"}, {"Content-Length", "2"}}, "ok"},
    };
    for (const auto& c : cases) {
        CHttpRequest request;
        request.method = c.method;
        request.keepAlive = c.keepAlive;
        if (*c.range)
            request.headers.emplace_back("range", c.range);
        if (*c.acceptEncoding)
            request.headers.emplace_back("Accept-Encoding", c.acceptEncoding);
        CHttpResponse response;
        response.status = c.status;
        response.SetContent(c.body, c.contentType);
        CHttpAnswer answer = ShapeResponse(request, std::move(response));
        CParsedAnswer parsed = Parse(answer.bytes);
        ASSERT_TRUE(parsed.wellFormed) << c.name << "\n" << answer.bytes.substr(0, 300);
        EXPECT_EQ(parsed.statusLine, c.statusLine) << c.name;
        EXPECT_EQ(std::to_string(answer.status), std::string(c.statusLine).substr(9, 3)) << c.name;
        for (const auto& [field, value] : c.fields) {
            auto found = parsed.fields.find(field);
            if (value.empty())
                EXPECT_EQ(found, parsed.fields.end()) << c.name << ": " << field;
            else
                EXPECT_TRUE(found != parsed.fields.end() && found->second == value) << c.name << ": " << field;
        }
        EXPECT_EQ(answer.bodyBytes, parsed.body.size()) << c.name;
        bool packed = parsed.fields.count("Content-Encoding") > 0;
        EXPECT_EQ(packed ? Gunzip(parsed.body) : parsed.body, c.sent) << c.name;
        if (packed) {
            EXPECT_LT(parsed.body.size(), text.size() / 4) << c.name;
            EXPECT_EQ(parsed.fields["Content-Length"], std::to_string(parsed.body.size())) << c.name;
        }
    }

    // A header value that carries a line break cannot start a header of its own.
    CHttpResponse redirect;
    redirect.Redirect("/a\r\nSet-Cookie: owned=1");
    CParsedAnswer parsed = Parse(ShapeResponse(CHttpRequest(), std::move(redirect)).bytes);
    EXPECT_EQ(parsed.statusLine, "HTTP/1.1 302 Found");
    EXPECT_EQ(parsed.fields.count("Set-Cookie"), 0u);
    EXPECT_EQ(parsed.fields["Location"], "/aSet-Cookie: owned=1");
}
