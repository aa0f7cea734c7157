#include "LookupServer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "AccessLog.h"
#include "LookupDatabase.h"
#include "support/TestSite.h"

namespace
{
class LookupServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(m_database.Load(m_site.Path("lookup/classes.txt"), error)) << error;
    }

    CTestSite m_site;
    CLookupDatabase m_database;
    CAccessLog m_log;
};

// Sends one line after the greeting and reads the answer lines up to the expected last one.
std::string Ask(int socket, const std::string& line, const std::string& last = "")
{
    ::send(socket, line.data(), line.size(), MSG_NOSIGNAL);
    std::string answer;
    for (int i = 0; i < 20; ++i) {
        answer += ReadSome(socket, 200);
        if (!answer.empty() && answer.back() == '\n' && (last.empty() || answer.find(last) != std::string::npos))
            break;
    }
    return answer;
}
}  // namespace

TEST_F(LookupServerTest, DatabaseCountsComponentsUnderAPrefix)
{
    struct Case
    {
        const char* prefix;
        int count;
    };
    const Case cases[] = {
        {"com.", 2},  {"com.acme.", 2}, {"com.acme.parse.", 2}, {"com.acme.parse.Csv", 2}, {"com.acme.parse.Tsv", 1},
        {"com.acme.parse.Cs", 0},  // not a class, not a package
        {"org.", 1},  {"net.", 0},      {"", 0},                {"Parser.class", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(m_database.CountComponents(c.prefix), c.count) << c.prefix;
    EXPECT_EQ(m_database.FindComponents("com.acme.parse.Csv"), (std::vector<std::string>{"1000001", "1000003"}));
    EXPECT_TRUE(m_database.FindComponents("com.acme.parse").empty());
}

TEST_F(LookupServerTest, AnswersTheLineProtocol)
{
    CLookupServer server(m_database, m_log, 10);
    std::string error;
    ASSERT_TRUE(server.Start({"127.0.0.1", 0}, error)) << error;
    int socket = ConnectLoopback(server.Port());
    ASSERT_GE(socket, 0);
    EXPECT_EQ(ReadSome(socket, 2000), CLookupServer::kGreeting);

    EXPECT_EQ(Ask(socket, "GETCOUNT com.\n"), "200 2\n");
    EXPECT_EQ(Ask(socket, "GETCOUNT net.\n"), "200 0\n");
    EXPECT_EQ(Ask(socket, "GETSCID com.acme.parse.Csv\n", "201"), "200 1000001\n200 1000003\n201 end of list\n");
    EXPECT_EQ(Ask(socket, "GETSCID com.acme.parse.Nothing\n", "201"), "201 end of list\n");
    EXPECT_EQ(Ask(socket, "GETCOUNT org.beta.log.Log\r\n"), "200 1\n");
    EXPECT_EQ(Ask(socket, "getcount org.\n"), "200 1\n");
    EXPECT_EQ(Ask(socket, "GETCOUNT\n").substr(0, 4), "501 ");
    EXPECT_EQ(Ask(socket, "DELETE everything\n").substr(0, 4), "500 ");
    // Two requests in one write are answered in order.
    EXPECT_EQ(Ask(socket, "GETCOUNT com.\nGETCOUNT org.\n", "200 1"), "200 2\n200 1\n");
    EXPECT_EQ(Ask(socket, "QUIT\n"), "221 goodbye\n");
    EXPECT_TRUE(PeerClosedWithin(socket, 2000));
    ::close(socket);
}

TEST_F(LookupServerTest, RefusesOverlongLinesAndDropsSilentClients)
{
    CLookupServer server(m_database, m_log, 1);
    std::string error;
    ASSERT_TRUE(server.Start({"127.0.0.1", 0}, error)) << error;

    int flooding = ConnectLoopback(server.Port());
    ASSERT_EQ(ReadSome(flooding, 2000), CLookupServer::kGreeting);
    std::string flood(CLookupServer::kMaxLine + 100, 'a');
    EXPECT_EQ(Ask(flooding, flood).substr(0, 4), "500 ");
    EXPECT_TRUE(PeerClosedWithin(flooding, 2000));
    ::close(flooding);

    int endless = ConnectLoopback(server.Port());
    ASSERT_EQ(ReadSome(endless, 2000), CLookupServer::kGreeting);
    std::string longLine = "GETCOUNT " + std::string(CLookupServer::kMaxLine, 'b') + "\n";
    EXPECT_EQ(Ask(endless, longLine).substr(0, 4), "500 ");
    ::close(endless);

    int silent = ConnectLoopback(server.Port());
    ASSERT_EQ(ReadSome(silent, 2000), CLookupServer::kGreeting);
    EXPECT_EQ(ReadSome(silent, 3000).substr(0, 4), "421 ");
    EXPECT_TRUE(PeerClosedWithin(silent, 2000));
    ::close(silent);

    // The server still answers after all that.
    int after = ConnectLoopback(server.Port());
    ASSERT_EQ(ReadSome(after, 2000), CLookupServer::kGreeting);
    EXPECT_EQ(Ask(after, "GETCOUNT com.acme.\n"), "200 2\n");
    ::close(after);
}

TEST_F(LookupServerTest, StopClosesOpenConnections)
{
    CLookupServer server(m_database, m_log, 60);
    std::string error;
    ASSERT_TRUE(server.Start({"127.0.0.1", 0}, error)) << error;
    int socket = ConnectLoopback(server.Port());
    ASSERT_EQ(ReadSome(socket, 2000), CLookupServer::kGreeting);
    server.Stop();
    EXPECT_TRUE(PeerClosedWithin(socket, 2000));
    ::close(socket);
    EXPECT_LT(ConnectLoopback(server.Port()), 0);
}
