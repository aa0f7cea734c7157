#include "HttpEncoding.h"

#include <gtest/gtest.h>

#include <zlib.h>

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

    std::string text;
    for (int i = 0; i < 500; ++i)
        text += "<class><className>Vector" + std::to_string(i) + "</className></class>\n";
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
