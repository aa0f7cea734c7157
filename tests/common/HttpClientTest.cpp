#include "HttpDownload.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <zlib.h>

#include "HttpTransfer.h"
#include "SystemCalls.h"
#include "UrlFetch.h"
#include "support/HeadlessModalRunner.h"
#include "support/ProxyProcess.h"
#include "support/RawHttpServer.h"
#include "support/RecordingHttpServer.h"
#include "support/SwappedCall.h"
#include "support/TestSupport.h"

namespace
{
const char* const kSentHeaders[] = {
    "Connection: Keep-Alive",
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*",
    "Accept-Language: en-us",
    "Accept-Encoding: gzip, deflate",
    "User-Agent: Mozilla/4.0 (compatible; MSIE 5.01; Windows NT)",
};

std::vector<std::string> Lines(const std::string& head)
{
    std::vector<std::string> lines;
    std::istringstream in(head);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

std::string Answer(const std::string& status, const std::string& headers, const std::string& body)
{
    return "HTTP/1.1 " + status + "\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

std::string Compress(const std::string& data, int windowBits)
{
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, data.size()) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// Runs the dialog headless and keeps what it showed when it ended.
class CWatchingRunner : public IModalRunner
{
public:
    int RunModal(CModalDialogCore& dialog) override
    {
        ++runs;
        result = m_inner.RunModal(dialog);
        view = dialog.GetView();
        delivered = m_inner.GetMessagesDelivered();
        return result;
    }

    int runs = 0;
    int result = 0;
    int delivered = 0;
    CModalDialogCore::CProgressView view;

private:
    CHeadlessModalRunner m_inner{std::chrono::seconds(30)};
};

class HttpClientTest : public ::testing::Test
{
protected:
    void Configure(CHttpDownload& client, int port, const std::string& uri = "/file")
    {
        ASSERT_TRUE(client.Create());
        ASSERT_TRUE(client.SetServerProperties("127.0.0.1", port));
        ASSERT_TRUE(client.SetFirewallProperties("", 0, CFirewallType::None, "", ""));
        ASSERT_TRUE(client.SetTimeout(5));
        ASSERT_TRUE(client.SetFileName(m_target));
        ASSERT_TRUE(client.SetUri(uri));
    }

    CTempDir m_dir;
    std::string m_target = m_dir.File("file_new");
    CWatchingRunner m_runner;
};

TEST_F(HttpClientTest, SendsTheFiveHeadersInOrderAndAgainOnEverySetUri)
{
    CRawHttpServer server([](CRawHttpServer&, int fd, const std::string&) {
        CRawHttpServer::Send(fd, Answer("200 OK", "", "body"));
    });
    CHttpDownload client(m_runner);
    Configure(client, server.Port(), "/first");
    ASSERT_TRUE(client.Download(false, false));
    ASSERT_TRUE(client.SetUri("/second"));
    ASSERT_TRUE(client.Download(false, false));

    auto heads = server.Heads();
    ASSERT_EQ(heads.size(), 2u);
    for (size_t i = 0; i < heads.size(); ++i) {
        std::vector<std::string> lines = Lines(heads[i]);
        EXPECT_EQ(lines[0], i == 0 ? "GET /first HTTP/1.1" : "GET /second HTTP/1.1");
        std::vector<std::string> ours;
        for (const std::string& line : lines)
            if (line.rfind("Host:", 0) != 0 && line.find(':') != std::string::npos)
                ours.push_back(line);
        // Nothing of libcurl's own among them, and the five again for every SetUri.
        ASSERT_EQ(ours.size(), 5 * (i + 1)) << heads[i];
        for (size_t k = 0; k < ours.size(); ++k)
            EXPECT_EQ(ours[k], kSentHeaders[k % 5]);
    }
    EXPECT_EQ(client.GetRequestHeaders().size(), 10u);
}

TEST_F(HttpClientTest, SavesTheBodyAndKeepsTheResponseHeaders)
{
    CRecordingHttpServer server;
    std::string body(300000, '\0');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>(i * 7 % 251);
    server.Server().Get("/file", [&](const httplib::Request&, httplib::Response& res) {
        res.set_header("Last-Modified", "Tue, 01 Feb 2000 10:00:00 GMT");
        res.set_header("X-Case", "kept");
        res.set_content(body, "application/octet-stream");
    });
    server.Start();
    for (bool progress : {false, true}) {
        SCOPED_TRACE(progress);
        std::filesystem::remove(m_target);
        CHttpDownload client(m_runner);
        Configure(client, server.Port());
        ASSERT_TRUE(client.Download(progress, false));
        EXPECT_EQ(ReadFileText(m_target), body);
        const auto& headers = client.GetResponseHeaders();
        EXPECT_EQ(headers.count("Last-Modified"), 1u);
        EXPECT_EQ(headers.at("X-Case"), "kept");
        EXPECT_EQ(headers.count("x-case"), 0u);  // names are compared case-sensitively
    }
}

TEST_F(HttpClientTest, HeadersDoneRefillsTheTableAndTheFirstOccurrenceWins)
{
    CHttpDownload client(m_runner);
    client.HeadersDone(1, {{"A", "1"}, {"B", "2"}, {"A", "3"}});
    EXPECT_EQ(client.GetResponseHeaders(), (CHttpClient::CHeaderTable{{"A", "1"}, {"B", "2"}}));
    client.HeadersDone(2, {{"C", "4"}});
    EXPECT_EQ(client.GetResponseHeaders(), (CHttpClient::CHeaderTable{{"C", "4"}}));
}

TEST_F(HttpClientTest, OnlyTheFinalResponseFillsTheTable)
{
    CRawHttpServer server([](CRawHttpServer&, int fd, const std::string& head) {
        if (head.rfind("GET /moved", 0) == 0)
            CRawHttpServer::Send(fd, Answer("302 Found", "Location: /file\r\nX-Only-Redirect: 1\r\nX-Both: redirect\r\n",
                                             "<a href=/file>moved</a>"));
        else
            CRawHttpServer::Send(fd, "HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\n" +
                                         Answer("200 OK", "X-Both: final\r\nX-Both: second\r\nX-Folded: a\r\n  b\r\n", "ok"));
    });
    CHttpDownload client(m_runner);
    Configure(client, server.Port(), "/moved");
    ASSERT_TRUE(client.Download(false, false));
    EXPECT_EQ(ReadFileText(m_target), "ok");
    const auto& headers = client.GetResponseHeaders();
    EXPECT_EQ(headers.at("X-Both"), "final");
    EXPECT_EQ(headers.at("X-Folded"), "a b");
    EXPECT_EQ(headers.count("X-Only-Redirect"), 0u);
    EXPECT_EQ(headers.count("X-Interim"), 0u);
}

TEST_F(HttpClientTest, DecodesGzipAndDeflateBodies)
{
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "line " + std::to_string(i) + " of a compressible body\n";
    struct CCase
    {
        const char* encoding;
        int windowBits;
    };
    for (CCase c : {CCase{"gzip", 31}, CCase{"deflate", 15}}) {
        SCOPED_TRACE(c.encoding);
        std::string packed = Compress(text, c.windowBits);
        ASSERT_LT(packed.size(), text.size() / 4);
        CRawHttpServer server([&](CRawHttpServer&, int fd, const std::string&) {
            CRawHttpServer::Send(fd, Answer("200 OK", "Content-Encoding: " + std::string(c.encoding) + "\r\n", packed));
        });
        CHttpDownload client(m_runner);
        Configure(client, server.Port());
        ASSERT_TRUE(client.Download(false, false));
        EXPECT_EQ(ReadFileText(m_target), text);
    }
}

// A failed transfer answers false with or without the dialog, leaves no body behind (an
// error page included) and touches no other file.
TEST_F(HttpClientTest, FailedTransfersAnswerFalseAndLeaveNoBody)
{
    std::string bigBody(100000, 'x');
    struct CCase
    {
        const char* name;
        CRawHttpServer::Handler handler;
    };
    std::vector<CCase> cases = {
        {"404 with a page",
         [](CRawHttpServer&, int fd, const std::string&) {
             CRawHttpServer::Send(fd, Answer("404 Not Found", "", "<html>not here</html>"));
         }},
        {"500",
         [](CRawHttpServer&, int fd, const std::string&) {
             CRawHttpServer::Send(fd, Answer("500 Internal Server Error", "", "oops"));
         }},
        {"dies mid-body",
         [&](CRawHttpServer&, int fd, const std::string&) {
             CRawHttpServer::Send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 200000\r\n\r\n" + bigBody);
         }},
        {"answers nothing",
         [](CRawHttpServer&, int, const std::string&) {}},
        {"redirect without an end",
         [](CRawHttpServer&, int fd, const std::string&) {
             CRawHttpServer::Send(fd, Answer("302 Found", "Location: /file\r\n", ""));
         }},
    };
    WriteFileText(m_dir.File("file"), "the good local file");
    for (const CCase& c : cases) {
        CRawHttpServer server(c.handler);
        for (bool progress : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (progress ? " with progress" : ""));
            std::filesystem::remove(m_target);
            CHttpDownload client(m_runner);
            Configure(client, server.Port());
            EXPECT_FALSE(client.Download(progress, true));
            EXPECT_FALSE(std::filesystem::exists(m_target));
            EXPECT_FALSE(std::filesystem::exists(m_target + "_ts"));
            EXPECT_EQ(ReadFileText(m_dir.File("file")), "the good local file");
        }
    }
}

TEST_F(HttpClientTest, AClosedPortFailsWithoutTouchingTheTarget)
{
    int port = CProxyProcess::FreeLoopbackPort();
    for (bool progress : {false, true}) {
        WriteFileText(m_target, "earlier");
        CHttpDownload client(m_runner);
        Configure(client, port);
        EXPECT_FALSE(client.Download(progress, false));
        // Nothing was transferred, so nothing was written over.
        EXPECT_EQ(ReadFileText(m_target), "earlier");
    }
}

TEST_F(HttpClientTest, AnUnwritableTargetFails)
{
    CRecordingHttpServer server;
    server.Server().Get("/file", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("body", "application/octet-stream");
    });
    server.Start();
    CHttpDownload client(m_runner);
    Configure(client, server.Port());
    ASSERT_TRUE(client.SetFileName(m_dir.File("missing-folder/file_new")));
    EXPECT_FALSE(client.Download(false, true));
    EXPECT_FALSE(client.Download(true, true));
}

TEST_F(HttpClientTest, TheTimeOutBoundsAStallButNotALongTransfer)
{
    CRawHttpServer trickle([](CRawHttpServer& server, int fd, const std::string&) {
        CRawHttpServer::Send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nConnection: close\r\n\r\nz");
        for (int i = 1; i < 10; ++i) {
            if (!server.Pause(std::chrono::milliseconds(300)))
                return;
            CRawHttpServer::Send(fd, "z");
        }
    });
    CRawHttpServer stall([](CRawHttpServer& server, int fd, const std::string&) {
        CRawHttpServer::Send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 8\r\nConnection: close\r\n\r\nzz");
        server.Pause(std::chrono::seconds(30));
    });

    // libcurl measures the speed once a second, so a time-out of one second would be too
    // coarse to tell a trickle from a stall.
    CHttpDownload slow(m_runner);
    Configure(slow, trickle.Port());
    ASSERT_TRUE(slow.SetTimeout(2));
    EXPECT_TRUE(slow.Download(false, false));  // 2.7 s in all, never long without a byte
    EXPECT_EQ(ReadFileText(m_target), "zzzzzzzzzz");

    CHttpDownload stalled(m_runner);
    Configure(stalled, stall.Port());
    ASSERT_TRUE(stalled.SetTimeout(2));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(stalled.Download(true, false));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    EXPECT_FALSE(std::filesystem::exists(m_target));

    EXPECT_FALSE(stalled.SetTimeout(0));
    EXPECT_FALSE(stalled.SetTimeout(-5));
}

// Servers that would hold a transfer for minutes or fill the disk: through either way
// out, each transfer fails well before, for the reason given, and leaves no file.
TEST_F(HttpClientTest, MisbehavingServersEndWellBeforeTheirTime)
{
    const std::string chunk(64 * 1024, 'e');
    auto endless = [&](const std::string& head) {
        return [&chunk, head](CRawHttpServer& server, int fd, const std::string&) {
            for (bool more = CRawHttpServer::Send(fd, head); more && server.Pause({});)
                more = CRawHttpServer::Send(fd, chunk);
        };
    };
    const curl_off_t cap = 1024 * 1024;
    const std::string defaultCap = std::to_string(CTransferSettings::kMaxDownloadSize);
    struct CCase
    {
        const char* name;
        CRawHttpServer::Handler handler;
        curl_off_t sizeLimit;
        std::string reason;
    } cases[] = {
        {"drips two bytes a second",
         [](CRawHttpServer& server, int fd, const std::string&) {
             bool more = CRawHttpServer::Send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
             while (more && server.Pause(std::chrono::milliseconds(500)))
                 more = CRawHttpServer::Send(fd, "d");
         },
         cap, "HttpDeadline 2 s"},
        {"endless body", endless("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"), cap,
         "larger than " + std::to_string(cap) + " bytes"},
        {"announces more than any real file", endless("HTTP/1.1 200 OK\r\nContent-Length: 1000000000000\r\n\r\n"),
         CTransferSettings::kMaxDownloadSize, "larger than " + defaultCap + " bytes"},
    };
    CScopedEnvironment debug({{"CORVANE_DEBUG", std::string("1")}});
    for (const CCase& c : cases) {
        CRawHttpServer server(c.handler);
        for (int way = 0; way < 3; ++way) {
            SCOPED_TRACE(std::string(c.name) + " way " + std::to_string(way));
            auto start = std::chrono::steady_clock::now();
            std::string report;
            if (way < 2) {
                CHttpDownload client(m_runner);
                Configure(client, server.Port());
                ASSERT_TRUE(client.SetDeadline(2) && client.SetSizeLimit(c.sizeLimit));
                testing::internal::CaptureStderr();
                EXPECT_FALSE(client.Download(way == 1, false));
                report = testing::internal::GetCapturedStderr();
            } else {
                CTransferSettings settings;
                settings.deadlineSeconds = 2;
                settings.maxBytes = c.sizeLimit;
                std::string body;
                EXPECT_FALSE(FetchUrl("http://127.0.0.1:" + std::to_string(server.Port()) + "/", body, report, settings));
                EXPECT_EQ(body, "");
            }
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
            EXPECT_NE(report.find(c.reason), std::string::npos) << report;
            EXPECT_FALSE(std::filesystem::exists(m_target));
        }
    }
}

// Every way out, the client's downloads, the URL fetch of documents and a POST of a body,
// is one libcurl perform through the system-call seam; a perform that fails fails each cleanly.
TEST_F(HttpClientTest, EveryRequestIsOnePerformThroughTheSeam)
{
    CRecordingHttpServer server;
    server.Server().Get("/file", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<a/>", "text/xml");
    });
    std::string posted, postedType;
    server.Server().Post("/post", [&](const httplib::Request& req, httplib::Response& res) {
        posted = req.body;
        postedType = req.get_header_value("Content-Type") + "|" + req.get_header_value("Expect");
        res.set_content("taken", "text/plain");
    });
    server.Start();
    // Larger than libcurl's threshold for "Expect: 100-continue", with bytes a C string would end at.
    std::string postBody(2 * 1024 * 1024, '\t');
    postBody[0] = '\0';
    postBody.back() = '\n';
    class CTextSink : public ITransferSink
    {
    public:
        bool OnBody(std::string_view data, std::string&) override
        {
            text.append(data);
            return true;
        }
        std::string text;
    };
    auto post = [&](CHttpTransfer& transfer, const std::string& path, std::string& answer) {
        CTransferRequest request;
        request.url = "http://127.0.0.1:" + std::to_string(server.Port()) + path;
        request.postBody = &postBody;
        request.contentType = "text/plain; charset=utf-8";
        CTextSink sink;
        std::string failure;
        const bool done = transfer.Perform(request, CTransferSettings{}, sink, failure);
        answer = sink.text;
        return done;
    };
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/file";
    static std::atomic<int> performs{0};
    CHttpDownload client(m_runner);
    Configure(client, server.Port());
    std::string body, error;
    {
        CSwappedCall counting(sys::Calls().curl_perform, [](CURL* handle) {
            ++performs;
            return curl_easy_perform(handle);
        });
        EXPECT_TRUE(client.Download(false, false));
        EXPECT_TRUE(FetchUrl(url, body, error, CTransferSettings{}));
        EXPECT_EQ(performs, 2);
        CHttpTransfer transfer;
        std::string answer;
        EXPECT_TRUE(post(transfer, "/post", answer));
        EXPECT_EQ(answer, "taken");
        EXPECT_EQ(posted == postBody, true) << posted.size();
        EXPECT_EQ(postedType, "text/plain; charset=utf-8|");
        // The same handle asked to GET afterwards sends no body.
        CTransferRequest get;
        get.url = url;
        CTextSink sink;
        EXPECT_TRUE(transfer.Perform(get, CTransferSettings{}, sink, error)) << error;
        EXPECT_EQ(sink.text, "<a/>");
        EXPECT_FALSE(post(transfer, "/absent", answer));
        EXPECT_EQ(transfer.GetStatus(), 404);
        EXPECT_EQ(performs, 5);
    }

    std::filesystem::remove(m_target);
    {
        CSwappedCall failing(sys::Calls().curl_perform, [](CURL*) { return CURLE_COULDNT_CONNECT; });
        EXPECT_FALSE(client.Download(true, false));
        EXPECT_FALSE(FetchUrl(url, body, error, CTransferSettings{}));
        CHttpTransfer transfer;
        std::string answer;
        EXPECT_FALSE(post(transfer, "/post", answer));
    }
    EXPECT_EQ(body, "");
    EXPECT_FALSE(std::filesystem::exists(m_target));
    EXPECT_EQ(server.RequestLine(), "GET /file, GET /file, POST /post, GET /file, POST /absent");
}

TEST_F(HttpClientTest, ProgressReachesTheDialogWhichEndsWithOk)
{
    CRecordingHttpServer server;
    std::string body(3 * 1024 * 1024, 'p');
    server.Server().Get("/file", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(body, "application/octet-stream");
    });
    server.Start();
    for (const CDownloadMessages* messages : {&kControlDownloadMessages, &kHostDownloadMessages}) {
        SCOPED_TRACE(messages->progress);
        CWatchingRunner runner;
        CHttpDownload client(runner, *messages);
        Configure(client, server.Port());
        ASSERT_TRUE(client.Download(true, false));
        EXPECT_EQ(runner.runs, 1);
        EXPECT_EQ(runner.result, IDOK);
        EXPECT_GE(runner.delivered, 2);  // some progress, then done
        EXPECT_FALSE(runner.view.cancelEnabled);
        EXPECT_EQ(runner.view.rangeHigh, static_cast<int>(body.size()));
        EXPECT_EQ(runner.view.position, static_cast<int>(body.size()));
        EXPECT_EQ(runner.view.caption, messages == &kHostDownloadMessages ? kAppTitle : "Downloading ...");
        EXPECT_EQ(ReadFileText(m_target).size(), body.size());
    }
    // Without progress no dialog shows.
    CHttpDownload client(m_runner);
    Configure(client, server.Port());
    ASSERT_TRUE(client.Download(false, false));
    EXPECT_EQ(m_runner.runs, 0);
}

// A small file can be complete before the dialog has opened; the dialog must still end.
TEST_F(HttpClientTest, ATransferDoneBeforeTheDialogOpensStillEndsIt)
{
    class CSlowRunner : public IModalRunner
    {
    public:
        int RunModal(CModalDialogCore& dialog) override
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            CHeadlessModalRunner inner(std::chrono::seconds(3));
            int result = inner.RunModal(dialog);
            view = dialog.GetView();
            return result;
        }
        CModalDialogCore::CProgressView view;
    } runner;
    CRawHttpServer server([](CRawHttpServer&, int fd, const std::string&) {
        CRawHttpServer::Send(fd, Answer("200 OK", "", "tiny"));
    });
    CHttpDownload client(runner);
    Configure(client, server.Port());
    EXPECT_TRUE(client.Download(true, false));
    EXPECT_EQ(ReadFileText(m_target), "tiny");
    EXPECT_EQ(runner.view.position, 4);
}

TEST_F(HttpClientTest, EveryOperationFailsBeforeCreate)
{
    CRecordingHttpServer server;
    server.Server().Get("/file", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Last-Modified", "x");
        res.set_content("body", "text/plain");
    });
    server.Start();
    CHttpDownload client(m_runner);
    EXPECT_FALSE(client.SetServerProperties("127.0.0.1", server.Port()));
    EXPECT_FALSE(client.SetFirewallProperties("", 0, CFirewallType::None, "", ""));
    EXPECT_FALSE(client.SetTimeout(5));
    EXPECT_FALSE(client.SetFileName(m_target));
    EXPECT_FALSE(client.SetUri("/file"));
    EXPECT_FALSE(client.CheckForNewFile());
    EXPECT_FALSE(client.Download(false, true));
    EXPECT_FALSE(client.Download(true, true));
    EXPECT_EQ(m_runner.runs, 0);
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_FALSE(std::filesystem::exists(m_target));
}

TEST_F(HttpClientTest, RejectsAddressesThatAreNotPlainHosts)
{
    CHttpDownload client(m_runner);
    ASSERT_TRUE(client.Create());
    EXPECT_FALSE(client.SetServerProperties("evil@127.0.0.1", 80));
    EXPECT_FALSE(client.SetServerProperties("host/path", 80));
    EXPECT_FALSE(client.SetServerProperties("", 80));
    EXPECT_FALSE(client.SetServerProperties("127.0.0.1", 0));
    EXPECT_FALSE(client.SetServerProperties("127.0.0.1", 70000));
    EXPECT_TRUE(client.SetServerProperties("::1", 80));
    EXPECT_FALSE(client.SetFirewallProperties("127.0.0.1", 1080, CFirewallType{5}, "", ""));
    EXPECT_FALSE(client.SetFirewallProperties("", 1080, CFirewallType::Proxy, "", ""));
    EXPECT_FALSE(client.SetFirewallProperties("a b", 1080, CFirewallType::Proxy, "", ""));
    EXPECT_TRUE(client.SetFirewallProperties("", 0, CFirewallType::None, "", ""));
}

// The firewall setting is honoured, and only it: a proxy that is not there fails every
// type, and the environment's proxy variables change nothing.
TEST_F(HttpClientTest, EachFirewallTypeNeedsItsProxy)
{
    CRecordingHttpServer server;
    server.Server().Get("/file", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("through", "text/plain");
    });
    server.Start();
    int deadPort = CProxyProcess::FreeLoopbackPort();
    std::string deadProxy = "http://127.0.0.1:" + std::to_string(deadPort);
    CScopedEnvironment environment({{"http_proxy", deadProxy}, {"HTTP_PROXY", deadProxy}, {"ALL_PROXY", deadProxy},
                                    {"no_proxy", "127.0.0.1,localhost"}, {"NO_PROXY", "*"}});
    for (int type : {1, 2, 3, 4}) {
        SCOPED_TRACE(type);
        CHttpDownload client(m_runner);
        Configure(client, server.Port());
        ASSERT_TRUE(client.SetFirewallProperties("127.0.0.1", deadPort, CFirewallType{type}, "", ""));
        EXPECT_FALSE(client.Download(false, false));
    }
    EXPECT_TRUE(server.Requests().empty());


    // A firewall that is set but unusable is never gone around: nothing is sent, and the
    // report names the setting.
    const struct
    {
        int type;
        const char* host;
        int port;
        const char* named;
    } unusable[] = {
        {9, "127.0.0.1", deadPort, "FirewallType 9"}, {-1, "127.0.0.1", deadPort, "FirewallType -1"},
        {3, "", deadPort, "FirewallHost"},           {1, "a b", deadPort, "FirewallHost \"a b\""},
        {2, "127.0.0.1", 0, "FirewallPort 0"},        {4, "127.0.0.1", 70000, "FirewallPort 70000"},
    };
    CScopedEnvironment debug({{"CORVANE_DEBUG", std::string("1")}});
    for (const auto& c : unusable) {
        CHttpDownload client(m_runner);
        Configure(client, server.Port());
        testing::internal::CaptureStderr();
        EXPECT_FALSE(client.SetFirewallProperties(c.host, c.port, CFirewallType{c.type}, "", ""));
        EXPECT_FALSE(client.Download(false, false));
        std::string report = testing::internal::GetCapturedStderr();
        EXPECT_NE(report.find(std::string("CHttpClient::Download: ") + c.named), std::string::npos) << report;
    }
    EXPECT_TRUE(server.Requests().empty());
    // "None" stays direct, whatever host and port say.
    CHttpDownload direct(m_runner);
    Configure(direct, server.Port());
    ASSERT_TRUE(direct.SetFirewallProperties("a b", 0, CFirewallType::None, "", ""));
    EXPECT_TRUE(direct.Download(false, false));
}

class HttpClientFirewallTest : public HttpClientTest
{
protected:
    void SetUp() override
    {
        m_server.Server().Get("/file", [](const httplib::Request& req, httplib::Response& res) {
            res.set_header("Last-Modified", "Wed, 02 Feb 2000 10:00:00 GMT");
            res.set_header("X-Via", req.get_header_value("Via"));
            res.set_content("proxied body", "text/plain");
        });
        m_server.Start();
    }

    // Downloads through the proxy with the given firewall settings.
    bool Fetch(int type, const CProxyProcess& proxy, const std::string& user, const std::string& password)
    {
        std::filesystem::remove(m_target);
        CHttpDownload client(m_runner);
        Configure(client, m_server.Port());
        if (!client.SetFirewallProperties("127.0.0.1", proxy.Port(), CFirewallType{type}, user, password))
            return false;
        bool ok = client.Download(false, true);
        auto via = client.GetResponseHeaders().find("X-Via");
        m_via = ok && via != client.GetResponseHeaders().end() ? via->second : "";
        return ok && ReadFileText(m_target) == "proxied body" &&
               ReadFileText(m_target + "_ts") == "Wed, 02 Feb 2000 10:00:00 GMT";
    }

    std::string Destination() const { return "127.0.0.1:" + std::to_string(m_server.Port()); }

    CRecordingHttpServer m_server;
    std::string m_via;
};

#define START_PROXY(proxy, ...)                                         \
    CProxyProcess proxy(__VA_ARGS__);                                   \
    if (proxy.Missing())                                                \
        GTEST_SKIP() << proxy.Error() << ": the proxy test cannot run"; \
    ASSERT_EQ(proxy.Error(), "")

TEST_F(HttpClientFirewallTest, Socks4ThroughDante)
{
    START_PROXY(proxy, CProxyKind::Danted);
    EXPECT_TRUE(Fetch(1, proxy, "", ""));
    EXPECT_TRUE(proxy.WaitForLog("tcp/connect")) << proxy.Log();
    EXPECT_NE(proxy.Log().find("127.0.0.1." + std::to_string(m_server.Port())), std::string::npos) << proxy.Log();
}

TEST_F(HttpClientFirewallTest, Socks5ThroughMicrosocks)
{
    START_PROXY(proxy, CProxyKind::Microsocks);
    EXPECT_TRUE(Fetch(2, proxy, "", ""));
    EXPECT_TRUE(proxy.WaitForLog("connected to " + Destination())) << proxy.Log();
}

TEST_F(HttpClientFirewallTest, Socks5WithPasswordThroughMicrosocks)
{
    START_PROXY(proxy, CProxyKind::Microsocks, CProxyOptions{"corvane", "s3cret"});
    EXPECT_FALSE(Fetch(2, proxy, "", ""));
    EXPECT_FALSE(Fetch(2, proxy, "corvane", "wrong"));
    EXPECT_FALSE(std::filesystem::exists(m_target));
    EXPECT_TRUE(m_server.Requests().empty());
    EXPECT_TRUE(Fetch(2, proxy, "corvane", "s3cret"));
    EXPECT_TRUE(proxy.WaitForLog("connected to " + Destination())) << proxy.Log();
}

TEST_F(HttpClientFirewallTest, HttpProxyThroughTinyproxy)
{
    START_PROXY(proxy, CProxyKind::Tinyproxy);
    EXPECT_TRUE(Fetch(3, proxy, "", ""));
    EXPECT_NE(m_via.find("tinyproxy"), std::string::npos) << m_via;
    EXPECT_TRUE(proxy.WaitForLog("GET http://" + Destination() + "/file")) << proxy.Log();
}

TEST_F(HttpClientFirewallTest, HttpProxyWithPasswordThroughTinyproxy)
{
    START_PROXY(proxy, CProxyKind::Tinyproxy, CProxyOptions{"corvane", "s3cret"});
    EXPECT_FALSE(Fetch(3, proxy, "", ""));
    EXPECT_FALSE(Fetch(3, proxy, "corvane", "wrong"));
    EXPECT_FALSE(std::filesystem::exists(m_target));
    EXPECT_TRUE(m_server.Requests().empty());
    EXPECT_TRUE(Fetch(3, proxy, "corvane", "s3cret"));
    EXPECT_NE(m_via.find("tinyproxy"), std::string::npos) << m_via;
}

TEST_F(HttpClientFirewallTest, PipeTunnelsThroughTinyproxy)
{
    START_PROXY(proxy, CProxyKind::Tinyproxy, CProxyOptions{"corvane", "s3cret", m_server.Port()});
    EXPECT_FALSE(Fetch(4, proxy, "corvane", "wrong"));
    EXPECT_TRUE(Fetch(4, proxy, "corvane", "s3cret"));
    // A tunnel: the proxy saw only CONNECT and added nothing to the request.
    EXPECT_TRUE(proxy.WaitForLog("CONNECT " + Destination())) << proxy.Log();
    EXPECT_EQ(proxy.Log().find("GET http://"), std::string::npos) << proxy.Log();
    EXPECT_EQ(m_via, "");
}
}  // namespace
