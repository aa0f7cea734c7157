#include "DownloadIfNewer.h"

#include <filesystem>
#include <mutex>

#include <gtest/gtest.h>

#include "Settings.h"
#include "support/HeadlessModalRunner.h"
#include "support/ProxyProcess.h"
#include "support/RawHttpServer.h"
#include "support/RecordingHttpServer.h"
#include "support/TestSupport.h"

namespace
{
class DownloadIfNewerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.Server().Get("/data/java/index.xml", [this](const httplib::Request&, httplib::Response& res) {
            std::lock_guard lock(m_mutex);
            res.set_header("Last-Modified", m_stamp);
            res.status = m_status;
            res.set_content(m_body, "text/xml");
        });
        m_server.Start();
        m_address = ParseServerAddress("127.0.0.1:" + std::to_string(m_server.Port()), kHttpPort);
        WriteFileText(m_local, "<old/>");
    }

    void Serve(const std::string& stamp, const std::string& body, int status = 200)
    {
        std::lock_guard lock(m_mutex);
        m_stamp = stamp;
        m_body = body;
        m_status = status;
    }

    bool Update() { return DownloadIfNewer(m_runner, m_address, "/data/java/index.xml", m_local); }

    CTestRegistry m_registry;
    CHeadlessModalRunner m_runner{std::chrono::seconds(30)};
    std::string m_local = m_registry.DataDir() + "/Java/index.xml";
    CRecordingHttpServer m_server;
    CServerAddress m_address;
    std::mutex m_mutex;
    std::string m_stamp;
    std::string m_body;
    int m_status = 200;
};

TEST_F(DownloadIfNewerTest, ReplacesTheLocalFileOnlyWhenTheServerCopyChanged)
{
    Serve("Mon, 03 Jan 2000 00:00:00 GMT", "<new/>");
    EXPECT_TRUE(Update());
    EXPECT_EQ(ReadFileText(m_local), "<new/>");
    EXPECT_FALSE(std::filesystem::exists(m_local + "_new"));
    EXPECT_EQ(ReadFileText(m_local + "_new_ts"), "Mon, 03 Jan 2000 00:00:00 GMT");

    Serve("Mon, 03 Jan 2000 00:00:00 GMT", "<ignored/>");
    EXPECT_FALSE(Update());
    EXPECT_EQ(ReadFileText(m_local), "<new/>");

    Serve("Tue, 04 Jan 2000 00:00:00 GMT", "<newer/>");
    EXPECT_TRUE(Update());
    EXPECT_EQ(ReadFileText(m_local), "<newer/>");
    EXPECT_EQ(m_server.RequestLine(), "HEAD /data/java/index.xml, GET /data/java/index.xml, "
                                      "HEAD /data/java/index.xml, "
                                      "HEAD /data/java/index.xml, GET /data/java/index.xml");
}

TEST_F(DownloadIfNewerTest, AFailedDownloadKeepsTheOldFile)
{
    Serve("Mon, 03 Jan 2000 00:00:00 GMT", "<error page/>", 404);
    EXPECT_FALSE(Update());
    EXPECT_EQ(ReadFileText(m_local), "<old/>");
    EXPECT_FALSE(std::filesystem::exists(m_local + "_new"));
    EXPECT_FALSE(std::filesystem::exists(m_local + "_new_ts"));

    // HEAD succeeds, the GET dies halfway through the body.
    CRawHttpServer dying([](CRawHttpServer&, int fd, const std::string& head) {
        std::string headers = "HTTP/1.1 200 OK\r\nLast-Modified: Later\r\nContent-Length: 5000\r\n\r\n";
        CRawHttpServer::Send(fd, head.rfind("HEAD", 0) == 0 ? headers : headers + "<partial");
    });
    WriteFileText(m_local + "_new", "left over from an earlier run");
    CServerAddress address{"127.0.0.1", dying.Port()};
    EXPECT_FALSE(DownloadIfNewer(m_runner, address, "/data/java/index.xml", m_local));
    EXPECT_FALSE(DownloadReplacing(m_runner, address, "/data/java/index.xml", m_local, false));
    EXPECT_EQ(ReadFileText(m_local), "<old/>");
    EXPECT_FALSE(std::filesystem::exists(m_local + "_new"));
    EXPECT_EQ(dying.Heads().size(), 3u);
}

TEST_F(DownloadIfNewerTest, DownloadReplacingFetchesWithoutAsking)
{
    Serve("Mon, 03 Jan 2000 00:00:00 GMT", "<plain/>");
    for (bool progress : {false, true}) {
        WriteFileText(m_local, "<old/>");
        EXPECT_TRUE(DownloadReplacing(m_runner, m_address, "/data/java/index.xml", m_local, progress));
        EXPECT_EQ(ReadFileText(m_local), "<plain/>");
        EXPECT_FALSE(std::filesystem::exists(m_local + "_new"));
        EXPECT_FALSE(std::filesystem::exists(m_local + "_new_ts"));
    }
    EXPECT_EQ(m_server.RequestLine(), "GET /data/java/index.xml, GET /data/java/index.xml");
}

TEST_F(DownloadIfNewerTest, AReplaceThatFailsForgetsTheStamp)
{
    // A folder with something in it cannot be replaced by a file.
    std::filesystem::create_directories(m_local + "_dir/inside");
    std::string local = m_local + "_dir";
    Serve("Mon, 03 Jan 2000 00:00:00 GMT", "<new/>");
    EXPECT_FALSE(DownloadIfNewer(m_runner, m_address, "/data/java/index.xml", local));
    EXPECT_TRUE(std::filesystem::is_directory(local + "/inside"));
    EXPECT_FALSE(std::filesystem::exists(local + "_new"));
    // So the next attempt fetches again instead of believing it has this version.
    EXPECT_FALSE(std::filesystem::exists(local + "_new_ts"));
}

TEST_F(DownloadIfNewerTest, TheFirewallAndTimeOutComeFromTheSettings)
{
    Serve("Mon, 03 Jan 2000 00:00:00 GMT", "<new/>");
    m_registry.Set("FirewallType", "3");
    m_registry.Set("FirewallHost", "127.0.0.1");
    m_registry.Set("FirewallPort", std::to_string(CProxyProcess::FreeLoopbackPort()));
    EXPECT_FALSE(Update());  // nobody listens where the settings point
    EXPECT_TRUE(m_server.Requests().empty());
    EXPECT_EQ(ReadFileText(m_local), "<old/>");

    CProxyProcess proxy(CProxyKind::Tinyproxy, CProxyOptions{"corvane", "s3cret"});
    if (proxy.Missing())
        GTEST_SKIP() << proxy.Error() << ": the proxy part cannot run";
    ASSERT_EQ(proxy.Error(), "");
    m_registry.Set("FirewallPort", std::to_string(proxy.Port()));
    m_registry.Set("FirewallUsername", "corvane");
    m_registry.Set("FirewallPassword", "s3cret");
    m_registry.Set("HttpTimeout", "3");
    EXPECT_TRUE(Update());
    EXPECT_EQ(ReadFileText(m_local), "<new/>");
    EXPECT_TRUE(proxy.WaitForLog("HEAD http://127.0.0.1:" + std::to_string(m_server.Port()))) << proxy.Log();
}

TEST_F(DownloadIfNewerTest, ConfigureFromSettingsFollowsTheStandardOrder)
{
    CHttpDownload download(m_runner);
    EXPECT_TRUE(ConfigureFromSettings(download, m_address));
    download.SetFileName(m_local + "_new");
    download.SetUri("/data/java/index.xml");
    Serve("x", "<configured/>");
    EXPECT_TRUE(download.Download(false, false));
    EXPECT_EQ(ReadFileText(m_local + "_new"), "<configured/>");
}
}  // namespace
