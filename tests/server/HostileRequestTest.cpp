// Requests that try to leave the site, to run foreign style sheets, to make sheets write or
// fetch, to overwhelm the server or to hold it: none succeeds, and the server keeps serving.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

#include "XmlAnswer.h"
#include "support/TestSite.h"

namespace
{
const char* const kSecret = "TOP-SECRET-OUTSIDE-THE-SITE";

class HostileRequestTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteFileText(m_outside.File("secret.xml"), std::string("<secret>") + kSecret + "</secret>");
        WriteFileText(m_outside.File("evil.xsl"),
                      std::string("<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                                  "<xsl:template match='/'><x>") +
                          kSecret + "</x></xsl:template></xsl:stylesheet>");
        ASSERT_EQ(::symlink(m_outside.File("secret.xml").c_str(), m_site.Path("public/linked.xml").c_str()), 0);
        ASSERT_EQ(::symlink(m_outside.Path().c_str(), m_site.Path("stores/vantrel/outside").c_str()), 0);
        ASSERT_EQ(::symlink(m_outside.File("evil.xsl").c_str(), m_site.Path("stores/vantrel/java/xsl/linked.xsl").c_str()),
                  0);
    }

    void WriteSheet(const std::string& name, const std::string& body)
    {
        m_site.Write("stores/vantrel/hostile/" + name,
                     "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>" + body +
                         "</xsl:stylesheet>");
    }

    CTempDir m_outside;
    CTestSite m_site;
};

bool Refused(int status) { return status == 400 || status == 403 || status == 404; }

std::string StatusLine(const std::string& answer) { return answer.substr(0, answer.find('\r')); }

// A chunked upload of count chunks of size bytes, sent on a thread while the answer is read.
std::string ChunkedUpload(int port, size_t size, int count)
{
    int fd = ConnectLoopback(port);
    std::string head = "POST /vantrel/testtab/upload.jsp HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n"
                       "Content-Type: multipart/form-data; boundary=b\r\n\r\n";
    std::thread sender([&] {
        char sizeLine[32];
        std::snprintf(sizeLine, sizeof sizeLine, "%zx\r\n", size);
        std::string chunk = sizeLine + std::string(size, 'c') + "\r\n";
        bool open = ::send(fd, head.data(), head.size(), MSG_NOSIGNAL) > 0;
        for (int i = 0; open && i < count; ++i)
            open = ::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(chunk.size());
    });
    // The refusal comes once 32 MiB have been read, which under the sanitizers on a busy
    // machine takes far longer than an answer should.
    std::string answer = ReadSome(fd, 120000);
    ::shutdown(fd, SHUT_RDWR);
    sender.join();
    ::close(fd);
    return answer;
}
}  // namespace

TEST_F(HostileRequestTest, PathsNeverLeaveTheSite)
{
    CRunningServer server(m_site.Root());
    const char* const paths[] = {
        "/public/../site.xml",
        "/public/%2e%2e/site.xml",
        "/public/%2E%2E%2Fsite.xml",
        "/public/..%2f..%2f..%2fetc%2fpasswd",
        "/public//etc/passwd",
        "/public/linked.xml",
        "/public/%2e%2e/%2e%2e/%2e%2e/%2e%2e/etc/passwd",
        "/public/data/java/index.xml%00.txt",
        "/public/.data-key",
        "/style/../lookup/classes.txt",
        "/xql.dll/vantrel/../../lookup/classes.txt",
        "/xql.dll/vantrel/%2e%2e/%2e%2e/site.xml",
        "/xql.dll/vantrel/outside/secret.xml",
        "/xql.dll/..%2fvar/clients.txt",
        "/public/..%2fvar/vantrel.db",
        "/xql.dll//etc/passwd",
        "/xql.dll/vantrel/java/data/core/org.sample.xml/../../../../../../../../etc/passwd",
    };
    for (const char* path : paths) {
        auto answer = server.Get(path);
        ASSERT_TRUE(answer) << path;
        EXPECT_TRUE(Refused(answer->status)) << path << " -> " << answer->status;
        EXPECT_EQ(answer->body.find(kSecret), std::string::npos) << path;
        EXPECT_EQ(answer->body.find("root:"), std::string::npos) << path;
        EXPECT_EQ(answer->body.find("com.acme.parse"), std::string::npos) << path;
    }
}

TEST_F(HostileRequestTest, StyleSheetsComeOnlyFromTheSite)
{
    CRunningServer server(m_site.Root());
    std::string base = "/xql.dll/vantrel/java/data/core/org.sample.xml?xslsheet=";
    const std::string sheets[] = {
        "file://" + m_outside.File("evil.xsl"),
        m_outside.File("evil.xsl"),
        "http://127.0.0.1:9/evil.xsl",
        "vantrel:/java/xsl/linked.xsl",
        "vantrel:/outside/evil.xsl",
        "vantrel:/java/xsl/../../../../" + m_outside.File("evil.xsl"),
        "vantrel:/../../pages/layout.xsl",
        "vantrel:java/data/core/org.sample.xml",
        "../pages:/layout.xsl",
        "vantrel:",
    };
    for (const auto& sheet : sheets) {
        auto answer = server.Get(base + sheet);
        ASSERT_TRUE(answer) << sheet;
        EXPECT_TRUE(Refused(answer->status)) << sheet << " -> " << answer->status;
        EXPECT_EQ(answer->body.find(kSecret), std::string::npos) << sheet;
    }
}

TEST_F(HostileRequestTest, SiteSheetsCannotWriteReadOutsideOrFetch)
{
    // A loopback server that counts every request a sheet would make of it.
    httplib::Server bait;
    std::atomic<int> fetched{0};
    bait.Get(".*", [&](const httplib::Request&, httplib::Response& response) {
        ++fetched;
        response.set_content("<x>fetched</x>", "text/xml");
    });
    int baitPort = bait.bind_to_any_port("127.0.0.1");
    std::thread baitThread([&] { bait.listen_after_bind(); });

    std::string written = m_outside.File("written.txt");
    WriteSheet("write.xsl", "<xsl:template match='/'><xsl:document href='" + written +
                                "' method='text'>owned</xsl:document><done/></xsl:template>");
    WriteSheet("read.xsl", "<xsl:template match='/'><r><xsl:copy-of select=\"document('file://" +
                               m_outside.File("secret.xml") + "')\"/></r></xsl:template>");
    WriteSheet("fetch.xsl", "<xsl:template match='/'><r><xsl:copy-of select=\"document('http://127.0.0.1:" +
                                std::to_string(baitPort) + "/x.xml')\"/></r></xsl:template>");
    WriteSheet("import.xsl", "<xsl:import href='file://" + m_outside.File("evil.xsl") + "'/>");
    WriteSheet("import-net.xsl", "<xsl:import href='http://127.0.0.1:" + std::to_string(baitPort) + "/e.xsl'/>");

    CRunningServer server(m_site.Root());
    for (const char* sheet : {"write.xsl", "read.xsl", "fetch.xsl", "import.xsl", "import-net.xsl"}) {
        auto answer = server.Get(std::string("/xql.dll/vantrel/java/data/core/org.sample.xml?xslsheet=vantrel:/hostile/") +
                                 sheet);
        ASSERT_TRUE(answer) << sheet;
        EXPECT_EQ(answer->body.find(kSecret), std::string::npos) << sheet;
        EXPECT_EQ(answer->body.find("fetched"), std::string::npos) << sheet;
    }
    EXPECT_FALSE(std::filesystem::exists(written));
    EXPECT_EQ(fetched.load(), 0);
    bait.stop();
    baitThread.join();
}

TEST_F(HostileRequestTest, OversizedRequestsAreRefused)
{
    CRunningServer server(m_site.Root());
    auto longUri = server.Get("/vantrel/javatab/search.jsp?q=" + std::string(9000, 'a'));
    ASSERT_TRUE(longUri);
    EXPECT_EQ(longUri->status, 414);

    std::string hugeBody = RawExchange(server.HttpPort(),
                                       "POST /vantrel/testtab/upload.jsp HTTP/1.1\r\nHost: x\r\n"
                                       "Content-Type: multipart/form-data; boundary=b\r\n"
                                       "Content-Length: 400000000\r\n\r\n");
    EXPECT_EQ(hugeBody.substr(0, 12), "HTTP/1.1 413") << hugeBody.substr(0, 80);

    std::string hugeHeader = RawExchange(server.HttpPort(), "GET /vantrel/javatab/home.jsp HTTP/1.1\r\nX-Filler: " +
                                                                std::string(10000, 'x') + "\r\n\r\n");
    EXPECT_EQ(hugeHeader.find("HTTP/1.1 200"), std::string::npos) << hugeHeader.substr(0, 80);

    auto after = server.Get("/vantrel/javatab/home.jsp");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
}

TEST_F(HostileRequestTest, SilentClientsAreDropped)
{
    CRunningServer server(m_site.Root(), 1);
    int silent = ConnectLoopback(server.HttpPort());
    int halfway = ConnectLoopback(server.HttpPort());
    ASSERT_GE(silent, 0);
    ASSERT_GE(halfway, 0);
    std::string partial = "GET /vantrel/javatab/home.jsp HT";
    ::send(halfway, partial.data(), partial.size(), MSG_NOSIGNAL);
    EXPECT_TRUE(PeerClosedWithin(silent, 4000));
    EXPECT_TRUE(PeerClosedWithin(halfway, 4000));
    ::close(silent);
    ::close(halfway);
    auto after = server.Get("/vantrel/javatab/home.jsp");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
}

TEST_F(HostileRequestTest, BadDataAndOddCharactersNeverBreakTheServer)
{
    m_site.Write("stores/vantrel/java/data/core/broken.xml", "<package><class><className>Half");
    m_site.Write("stores/vantrel/java/xsl/broken.xsl", "<xsl:stylesheet version='1.0' xmlns:xsl='nope'>");
    CRunningServer server(m_site.Root());

    auto broken = server.Get("/xql.dll/vantrel/java/data/core/broken.xml?xslsheet=vantrel:/java/xsl/search-package-class.xsl");
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->status, 500);
    auto badSheet = server.Get("/xql.dll/vantrel/java/data/core/org.sample.xml?xslsheet=vantrel:/java/xsl/broken.xsl");
    ASSERT_TRUE(badSheet);
    EXPECT_EQ(badSheet->status, 500);

    const char* const queries[] = {"%FF%FE%80", "%01%02%1B", "%27%22%3C%3E%26", "a'b\"c", "%C0%AF", "%ED%A0%80",
                                   "%F0%9F%98%80", "x%00y", "%25%25%25"};
    for (const char* query : queries) {
        auto answer = server.Get(std::string("/xql.dll/vantrel/java/data/core/index.bnd"
                                             "?xslsheet=vantrel:/java/xsl/search-class.xsl&qtarget=") +
                                 query + "&packagename=&classname=" + query + "&methodname=");
        ASSERT_TRUE(answer) << query;
        EXPECT_EQ(answer->status, 200) << query;
        EXPECT_TRUE(CXmlAnswer(answer->body).WellFormed()) << query << "\n" << answer->body;
        auto page = server.Get(std::string("/vantrel/javatab/search.jsp?kind=1&q=") + query);
        ASSERT_TRUE(page) << query;
        EXPECT_EQ(page->status, 200) << query;
        auto market = server.Get(std::string("/components/xmlsearchresults.jsp?lparam=") + query + "&sid=" + query);
        ASSERT_TRUE(market) << query;
        EXPECT_TRUE(CXmlAnswer(market->body).WellFormed()) << query;
    }
    // Parameter names that are no names are left out, not passed to the sheet.
    auto oddNames = server.Get("/vantrel/javatab/home.jsp?1x=1&a%20b=2&%3Cx%3E=3&version=7");
    ASSERT_TRUE(oddNames);
    EXPECT_EQ(oddNames->status, 200);
    EXPECT_NE(oddNames->body.find("control 7"), std::string::npos);

    auto garbage = RawExchange(server.HttpPort(), std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11));
    EXPECT_EQ(garbage.find("200 OK"), std::string::npos);
    auto after = server.Get("/vantrel/javatab/home.jsp");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
}

TEST_F(HostileRequestTest, SlowSilentAndTricklingClientsNeitherHoldWorkersNorStay)
{
    CRunningServer server(m_site.Root(), 2);
    std::vector<int> silent;
    std::vector<int> trickling;
    for (int i = 0; i < 32; ++i) {
        silent.push_back(ConnectLoopback(server.HttpPort()));
        trickling.push_back(ConnectLoopback(server.HttpPort()));
        ::send(trickling.back(), "GET /vantrel/javatab/home.jsp HTTP/1.1\r\n", 39, MSG_NOSIGNAL);
    }
    // A header line every quarter second from each, past the idle time; a normal client is
    // answered at once all along.
    auto client = server.Client();
    client->set_read_timeout(2, 0);
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(3500);
    int served = 0;
    int probes = 0;
    while (std::chrono::steady_clock::now() < until) {
        for (int fd : trickling)
            ::send(fd, "X-Slow: 1\r\n", 11, MSG_NOSIGNAL);
        auto answer = client->Get("/vantrel/javatab/home.jsp");
        served += answer && answer->status == 200;
        ++probes;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    EXPECT_EQ(served, probes);
    // The head's deadline ended every one of them, trickle or not.
    for (int fd : trickling)
        EXPECT_TRUE(PeerClosedWithin(fd, 1000));
    for (int fd : silent)
        EXPECT_TRUE(PeerClosedWithin(fd, 1000));
    for (int fd : silent)
        ::close(fd);
    for (int fd : trickling)
        ::close(fd);
}

TEST_F(HostileRequestTest, HeadersBodiesAndRangesAreBounded)
{
    CRunningServer server(m_site.Root());
    int port = server.HttpPort();
    std::string manyFields;
    for (int i = 0; i < 200; ++i)
        manyFields += "X-F" + std::to_string(i) + ": 1\r\n";
    std::string bulkyFields;
    while (bulkyFields.size() < 512 * 1024)
        bulkyFields += "X: y\r\n";
    std::string ranges = "0-";
    for (int i = 0; i < 399; ++i)
        ranges += ",0-";
    auto file = ReadFileText(m_site.Path("public/data/java/index.xml"));
    struct Case
    {
        const char* name;
        std::string request;
        const char* status;
        std::string contains;
    };
    const Case cases[] = {
        {"200 header fields", "GET / HTTP/1.1\r\n" + manyFields + "\r\n", "HTTP/1.1 431", ""},
        {"half a MiB of short fields", "GET / HTTP/1.1\r\n" + bulkyFields + "\r\n", "HTTP/1.1 431", ""},
        {"400 ranges get the file once", "GET /public/data/java/index.xml HTTP/1.1\r\nRange: bytes=" + ranges +
             "\r\nConnection: close\r\n\r\n", "HTTP/1.1 200", "Content-Length: " + std::to_string(file.size())},
        {"one range", "GET /public/data/java/index.xml HTTP/1.1\r\nRange: bytes=5-9\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 206", "\r\n\r\n" + file.substr(5, 5)},
        {"a range past the end", "GET /public/data/java/index.xml HTTP/1.1\r\nRange: bytes=99999999-\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 416", ""},
        {"a declared chunk over the limit", "POST /vantrel/ui/support.jsp HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"
             "2000001\r\n", "HTTP/1.1 413", ""},
        {"not HTTP", "HELLO\r\n\r\n", "HTTP/1.1 400", ""},
    };
    for (const auto& c : cases) {
        std::string answer = RawExchange(port, c.request);
        EXPECT_EQ(StatusLine(answer).substr(0, 12), c.status) << c.name << ": " << StatusLine(answer);
        EXPECT_NE(answer.find(c.contains), std::string::npos) << c.name;
    }
    // Chunks that add up past the limit are refused once they do, not read to the end.
    EXPECT_EQ(StatusLine(ChunkedUpload(port, 1024 * 1024, 48)).substr(0, 12), "HTTP/1.1 413");

    // A report form longer than a few KiB is a report, not an error; a request sent whole
    // and then half-closed is answered.
    auto client = server.Client();
    auto report = client->Post("/vantrel/ui/support.jsp", httplib::Params{{"summary", "Long"},
                                                                          {"details", std::string(100000, 'd')}});
    ASSERT_TRUE(report);
    EXPECT_EQ(report->status, 200);
    int halfClosed = ConnectLoopback(port);
    std::string request = "GET /vantrel/javatab/home.jsp HTTP/1.1\r\nHost: x\r\n\r\n";
    ::send(halfClosed, request.data(), request.size(), MSG_NOSIGNAL);
    ::shutdown(halfClosed, SHUT_WR);
    EXPECT_EQ(StatusLine(ReadSome(halfClosed, 3000)), "HTTP/1.1 200 OK");
    ::close(halfClosed);
}

TEST_F(HostileRequestTest, ConnectionsPerAddressAreCapped)
{
    CRunningServer server(m_site.Root(), 10, "", [](CServerOptions& options) { options.maxConnectionsPerClient = 4; });
    std::string get = "GET /vantrel/javatab/home.jsp HTTP/1.1\r\nConnection: close\r\n\r\n";
    std::vector<int> held;
    for (int i = 0; i < 4; ++i)
        held.push_back(ConnectLoopback(server.HttpPort(), "127.0.0.1"));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(StatusLine(RawExchange(server.HttpPort(), get, 3000, "127.0.0.1")).substr(0, 12), "HTTP/1.1 503");
    EXPECT_EQ(StatusLine(RawExchange(server.HttpPort(), get, 3000, "127.0.0.2")), "HTTP/1.1 200 OK");
    for (int fd : held)
        ::close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(StatusLine(RawExchange(server.HttpPort(), get, 3000, "127.0.0.1")), "HTTP/1.1 200 OK");
}
