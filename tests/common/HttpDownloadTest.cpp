#include "HttpDownload.h"

#include <filesystem>
#include <mutex>

#include <gtest/gtest.h>

#include "support/HeadlessModalRunner.h"
#include "support/RawHttpServer.h"
#include "support/RecordingHttpServer.h"
#include "support/TestSupport.h"

namespace
{
constexpr const char* kStamp = "Tue, 01 Feb 2000 10:00:00 GMT";

// A distribution server whose "Last-Modified" the test sets, separately for HEAD and GET.
class HttpDownloadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.Server().Get("/dist/index.xml", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(m_mutex);
            const std::string& stamp = req.method == "HEAD" ? m_headStamp : m_getStamp;
            if (!stamp.empty())
                res.set_header("Last-Modified", stamp);
            res.status = m_status;
            res.set_content("<index/>", "text/xml");
        });
        m_server.Start();
    }

    void Serve(const std::string& headStamp, const std::string& getStamp, int status = 200)
    {
        std::lock_guard lock(m_mutex);
        m_headStamp = headStamp;
        m_getStamp = getStamp;
        m_status = status;
    }

    void Configure(CHttpDownload& download, int port)
    {
        ASSERT_TRUE(download.Create());
        download.SetServerProperties("127.0.0.1", port);
        download.SetFirewallProperties("", 0, CFirewallType::None, "", "");
        download.SetTimeout(5);
        download.SetFileName(m_target);
        download.SetUri("/dist/index.xml");
    }

    bool CheckForNewFile()
    {
        CHttpDownload download(m_runner);
        Configure(download, m_server.Port());
        return download.CheckForNewFile();
    }

    CTempDir m_dir;
    std::string m_target = m_dir.File("index.xml_new");
    std::string m_stampFile = m_dir.File("index.xml_new_ts");
    CHeadlessModalRunner m_runner{std::chrono::seconds(30)};
    CRecordingHttpServer m_server;
    std::mutex m_mutex;
    std::string m_headStamp;
    std::string m_getStamp;
    int m_status = 200;
};

TEST_F(HttpDownloadTest, TheStampFileSitsBesideTheTarget)
{
    EXPECT_EQ(CHttpClient::TimeStampFileName("/d/Java/index.xml_new"), "/d/Java/index.xml_new_ts");
}

TEST_F(HttpDownloadTest, NewerExactlyWhenTheStampDiffers)
{
    struct CCase
    {
        const char* name;
        bool stampFile;
        std::string stored;
        bool newer;
    };
    const CCase cases[] = {
        {"no stamp file", false, "", true},
        {"equal", true, kStamp, false},
        {"equal, more lines after it", true, std::string(kStamp) + "\nleft over", false},
        {"other date", true, "Mon, 31 Jan 2000 10:00:00 GMT", true},
        {"case differs", true, "tue, 01 feb 2000 10:00:00 gmt", true},
        {"spacing differs", true, "Tue,  01 Feb 2000 10:00:00 GMT", true},
        {"carriage return", true, std::string(kStamp) + "\r\n", true},
        {"empty", true, "", true},
    };
    Serve(kStamp, kStamp);
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(m_stampFile);
        if (c.stampFile)
            WriteFileText(m_stampFile, c.stored);
        EXPECT_EQ(CheckForNewFile(), c.newer);
    }
    // Only HEAD requests: the check fetches nothing.
    for (const CRecordedRequest& request : m_server.Requests())
        EXPECT_EQ(request.method, "HEAD");
    EXPECT_FALSE(std::filesystem::exists(m_target));
}

TEST_F(HttpDownloadTest, WithoutLastModifiedOrAnAnswerNothingIsNewer)
{
    Serve("", "");
    EXPECT_FALSE(CheckForNewFile());  // even with no stamp file
    Serve(kStamp, kStamp, 404);
    EXPECT_FALSE(CheckForNewFile());
    Serve(kStamp, kStamp, 500);
    EXPECT_FALSE(CheckForNewFile());

    CRawHttpServer silent([](CRawHttpServer&, int, const std::string&) {});
    CHttpDownload nobody(m_runner);
    Configure(nobody, silent.Port());
    EXPECT_FALSE(nobody.CheckForNewFile());
}

TEST_F(HttpDownloadTest, TheStampHoldsTheValueOfTheGet)
{
    Serve("Head value", "Get value");
    for (bool progress : {false, true}) {
        SCOPED_TRACE(progress);
        std::filesystem::remove(m_stampFile);
        CHttpDownload download(m_runner);
        Configure(download, m_server.Port());
        ASSERT_TRUE(download.CheckForNewFile());
        EXPECT_EQ(download.GetResponseHeaders().at("Last-Modified"), "Head value");
        ASSERT_TRUE(download.Download(progress, true));
        EXPECT_EQ(ReadFileText(m_stampFile), "Get value");  // no line end either
        EXPECT_EQ(ReadFileText(m_target), "<index/>");
    }
    EXPECT_EQ(m_server.RequestLine(),
              "HEAD /dist/index.xml, GET /dist/index.xml, HEAD /dist/index.xml, GET /dist/index.xml");
}

TEST_F(HttpDownloadTest, OnlyASuccessfulDownloadWithStampWritesIt)
{
    Serve(kStamp, kStamp);
    {
        CHttpDownload download(m_runner);
        Configure(download, m_server.Port());
        ASSERT_TRUE(download.Download(true, false));
        ASSERT_TRUE(download.Download(false, false));
        EXPECT_FALSE(std::filesystem::exists(m_stampFile));
        ASSERT_TRUE(download.Download(false, true));
        EXPECT_EQ(ReadFileText(m_stampFile), kStamp);
    }
    // A failed download leaves the old stamp.
    Serve("Later", "Later", 404);
    CHttpDownload download(m_runner);
    Configure(download, m_server.Port());
    EXPECT_FALSE(download.Download(true, true));
    EXPECT_FALSE(download.Download(false, true));
    EXPECT_EQ(ReadFileText(m_stampFile), kStamp);

    // A GET without the header stores an empty stamp, which no later header equals.
    Serve("", "");
    CHttpDownload bare(m_runner);
    Configure(bare, m_server.Port());
    ASSERT_TRUE(bare.Download(false, true));
    EXPECT_TRUE(std::filesystem::exists(m_stampFile));
    EXPECT_EQ(ReadFileText(m_stampFile), "");
}

TEST_F(HttpDownloadTest, OfTwoLastModifiedHeadersTheFirstCounts)
{
    CRawHttpServer server([](CRawHttpServer&, int fd, const std::string& head) {
        std::string body = head.rfind("HEAD", 0) == 0 ? "" : "twice";
        CRawHttpServer::Send(fd, "HTTP/1.1 200 OK\r\nLast-Modified: First\r\nLast-Modified: Second\r\n"
                                 "Content-Length: 5\r\nConnection: close\r\n\r\n" + body);
    });
    auto check = [&] {
        CHttpDownload download(m_runner);
        Configure(download, server.Port());
        return download.CheckForNewFile();
    };
    WriteFileText(m_stampFile, "Second");
    EXPECT_TRUE(check());
    WriteFileText(m_stampFile, "First");
    EXPECT_FALSE(check());

    std::filesystem::remove(m_stampFile);
    CHttpDownload download(m_runner);
    Configure(download, server.Port());
    ASSERT_TRUE(download.Download(false, true));
    EXPECT_EQ(ReadFileText(m_stampFile), "First");
}

TEST_F(HttpDownloadTest, WithoutATargetNothingIsChecked)
{
    Serve(kStamp, kStamp);
    CHttpDownload download(m_runner);
    ASSERT_TRUE(download.Create());
    download.SetServerProperties("127.0.0.1", m_server.Port());
    download.SetUri("/dist/index.xml");
    EXPECT_FALSE(download.CheckForNewFile());
    EXPECT_FALSE(download.Download(false, true));
    EXPECT_TRUE(m_server.Requests().empty());
}
}  // namespace
