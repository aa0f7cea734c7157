#include "LookupConnection.h"

#include <cerrno>
#include <climits>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "ScriptedLookupServer.h"
#include "SystemCalls.h"

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;
using CReply = CScriptedLookupServer::CReply;

namespace
{
// Each test has a cache of its own: the process-wide one would carry answers between tests.
class CLookupConnectionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_connection.SetTimeLimit(2s);
        testing::internal::CaptureStdout();
        ASSERT_TRUE(m_connection.Connect("127.0.0.1", m_server.Port()));
    }
    void TearDown() override
    {
        if (!m_stdoutTaken)
            testing::internal::GetCapturedStdout();
    }
    std::string Stdout()
    {
        m_stdoutTaken = true;
        return testing::internal::GetCapturedStdout();
    }
    Strings Find(const std::string& name, bool expectedResult = true)
    {
        Strings scids{"stale"};
        EXPECT_EQ(m_connection.FindScids(name, scids), expectedResult) << name;
        return scids;
    }

    CScriptedLookupServer m_server;
    CPrefixCache m_cache;
    CLookupConnection m_connection{m_cache};
    bool m_stdoutTaken = false;
};

// A port on loopback where nobody listens.
int ClosedPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// Restores the system calls whatever a test swapped.
struct CSavedCalls
{
    sys::CSystemCalls saved = sys::Calls();
    ~CSavedCalls() { sys::Calls() = saved; }
};
}  // namespace

TEST_F(CLookupConnectionTest, NameWithoutDotsAnsweredZeroAsksNothingMore)
{
    EXPECT_TRUE(Find("Parser").empty());
    EXPECT_EQ(m_server.Requests(), Strings{"GETCOUNT Parser"});
    EXPECT_EQ(m_cache.Find("Parser"), false);
}

TEST_F(CLookupConnectionTest, WalksEveryPrefixBeforeAskingForScids)
{
    m_server.Count({"com.", "com.acme.", "com.acme.util.", "com.acme.util.Parser"}, 2);
    m_server.Answer("GETSCID com.acme.util.Parser", "200 41\n200 42\n201\n");
    EXPECT_EQ(Find("com.acme.util.Parser"), (Strings{"41", "42"}));
    EXPECT_EQ(m_server.Requests(), (Strings{"GETCOUNT com.", "GETCOUNT com.acme.", "GETCOUNT com.acme.util.",
                                            "GETCOUNT com.acme.util.Parser", "GETSCID com.acme.util.Parser"}));
}

TEST_F(CLookupConnectionTest, SecondClassOfAPackageAsksOnlyForItself)
{
    m_server.Count({"com.", "com.acme.", "com.acme.A", "com.acme.B"}, 1);
    m_server.Answer("GETSCID com.acme.A", "200 7\n201\n");
    m_server.Answer("GETSCID com.acme.B", "200 8\n201\n");
    EXPECT_EQ(Find("com.acme.A"), Strings{"7"});
    EXPECT_EQ(Find("com.acme.B"), Strings{"8"});
    EXPECT_EQ(m_server.Requests(), (Strings{"GETCOUNT com.", "GETCOUNT com.acme.", "GETCOUNT com.acme.A",
                                            "GETSCID com.acme.A", "GETCOUNT com.acme.B", "GETSCID com.acme.B"}));
}

TEST_F(CLookupConnectionTest, PrefixWithoutComponentsEndsLaterLookupsAtOnce)
{
    EXPECT_TRUE(Find("com.acme.A").empty());
    EXPECT_TRUE(Find("com.acme.B").empty());
    EXPECT_TRUE(Find("com.other.C").empty());
    EXPECT_EQ(m_server.Requests(), Strings{"GETCOUNT com."});

    // The answer outlives the connection: a later scan with the same cache asks nothing.
    m_connection.Close();
    CLookupConnection later(m_cache);
    ASSERT_TRUE(later.Connect("127.0.0.1", m_server.Port()));
    Strings scids;
    EXPECT_TRUE(later.FindScids("com.x.Y", scids));
    EXPECT_TRUE(scids.empty());
    EXPECT_EQ(m_server.Requests(), Strings{"GETCOUNT com."});
}

TEST_F(CLookupConnectionTest, EmptyTokensVanishFromThePrefixes)
{
    m_server.Count({"com.", "com.acme"}, 1);
    m_server.Answer("GETSCID .com..acme.", "200 3\n201\n");
    EXPECT_EQ(Find(".com..acme."), Strings{"3"});
    EXPECT_EQ(m_server.Requests(), (Strings{"GETCOUNT com.", "GETCOUNT com.acme", "GETSCID .com..acme."}));
}

TEST_F(CLookupConnectionTest, DirectoryClassFileNameIsAskedAsItStands)
{
    m_server.Count({"Parser.", "Parser.class"}, 1);
    m_server.Answer("GETSCID Parser.class", "200 5\n201\n");
    EXPECT_EQ(Find("Parser.class"), Strings{"5"});
    EXPECT_EQ(m_server.Requests(), (Strings{"GETCOUNT Parser.", "GETCOUNT Parser.class", "GETSCID Parser.class"}));
}

TEST_F(CLookupConnectionTest, ScidRepliesInAnyShape)
{
    struct CCase
    {
        const char* what;
        CReply reply;
        Strings expected;
    };
    const CCase cases[] = {
        {"one read", {{"200 7\n201\n"}}, {"7"}},
        {"two reads", {{"200 12\n", "200 15\n201\n"}}, {"12", "15"}},
        {"line split across reads", {{"200 1", "2\n20", "1\n"}}, {"12"}},
        {"carriage return kept", {{"200 5\r\n201\r\n"}}, {"5\r"}},
        {"empty lines vanish", {{"\n\n200 9\n\n\n201\n"}}, {"9"}},
        {"other statuses ignored", {{"199 x\n200 3\n250 y\nabc\n201\n"}}, {"3"}},
        {"status by its number", {{"0200 4\n200\n201 more\n"}}, {" 4"}},
        {"nothing found", {{"201\n"}}, {}},
    };
    int n = 0;
    for (const CCase& c : cases) {
        std::string name = "p" + std::to_string(n++) + ".C";
        m_server.Count({"p" + std::to_string(n - 1) + ".", name}, 1);
        m_server.Answer("GETSCID " + name, c.reply);
        EXPECT_EQ(Find(name), c.expected) << c.what;
    }
    EXPECT_TRUE(m_connection.IsConnected());
    EXPECT_EQ(Stdout(), "");
}

TEST_F(CLookupConnectionTest, WhatFollowsTheEndLineIsNotTakenForTheNextReply)
{
    m_server.Count({"a.", "a.B"}, 1);
    m_server.Answer("GETSCID a.B", "200 1\n201\n200 2\n201\n");
    m_server.Answer("GETCOUNT z.", "200 3\n");
    EXPECT_EQ(Find("a.B"), Strings{"1"});
    EXPECT_EQ(m_connection.GetCount("z."), 3);
}

TEST_F(CLookupConnectionTest, LastLineWithoutLineFeedCountsWhenTheServerCloses)
{
    m_server.Count({"a.", "a.B"}, 1);
    m_server.Answer("GETSCID a.B", CReply{{"200 6\n201"}, CReply::CAfter::Close});
    EXPECT_EQ(Find("a.B"), Strings{"6"});
    EXPECT_EQ(Stdout(), "");
}

TEST_F(CLookupConnectionTest, SilentServerEndsTheLookupWithWhatArrived)
{
    m_connection.SetTimeLimit(300ms);
    m_server.Count({"a.", "a.B"}, 1);
    m_server.Answer("GETSCID a.B", "200 3\n");  // and never the end line
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Find("a.B", false), Strings{"3"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(m_connection.IsConnected());

    // A late answer must not be read as the reply to the next question: nothing more is sent.
    EXPECT_EQ(m_connection.GetCount("b."), 0);
    EXPECT_EQ(m_server.Requests(), (Strings{"GETCOUNT a.", "GETCOUNT a.B", "GETSCID a.B"}));
    EXPECT_EQ(Stdout(), "Socket Read fail\nSocket Fail\n");
}

TEST_F(CLookupConnectionTest, ClosingServerEndsTheLookupWithWhatArrived)
{
    m_server.Count({"a.", "a.B"}, 1);
    m_server.Answer("GETSCID a.B", CReply{{"200 3\n200 4"}, CReply::CAfter::Close});
    EXPECT_EQ(Find("a.B", false), (Strings{"3", "4"}));
    EXPECT_FALSE(m_connection.IsConnected());
    EXPECT_EQ(Stdout(), "Socket Read fail\n");
}

TEST_F(CLookupConnectionTest, EndlessLineEndsTheLookup)
{
    m_server.Count({"a.", "a.B"}, 1);
    m_server.Answer("GETSCID a.B", "200 " + std::string(CLookupConnection::kMaxLineLength + 10, 'x'));
    EXPECT_TRUE(Find("a.B", false).empty());
    EXPECT_FALSE(m_connection.IsConnected());
}

TEST_F(CLookupConnectionTest, CountReplies)
{
    struct CCase
    {
        const char* what;
        CReply reply;
        int expected;
    };
    const CCase cases[] = {
        {"plain", {{"200 5\n"}}, 5},
        {"carriage return", {{"200 12\r\n"}}, 12},
        {"split", {{"20", "0 42\n"}}, 42},
        {"status not examined", {{"500 3\n"}}, 3},
        {"not a number", {{"200 many\n"}}, 0},
        {"too large", {{"200 99999999999999999999\n"}}, INT_MAX},
        {"too short", {{"200\n"}}, 0},
    };
    int n = 0;
    for (const CCase& c : cases) {
        std::string prefix = "q" + std::to_string(n++) + ".";
        m_server.Answer("GETCOUNT " + prefix, c.reply);
        EXPECT_EQ(m_connection.GetCount(prefix), c.expected) << c.what;
    }
    EXPECT_TRUE(m_connection.IsConnected());
}

TEST_F(CLookupConnectionTest, UnansweredCountIsNotRemembered)
{
    m_server.Answer("GETCOUNT com.", CReply{{}, CReply::CAfter::Close});
    EXPECT_TRUE(Find("com.acme.A", false).empty());
    EXPECT_FALSE(m_cache.Find("com."));

    // Once the server answers again, the prefix is asked anew.
    m_server.Count({"com.", "com.acme.", "com.acme.A"}, 1);
    m_server.Answer("GETSCID com.acme.A", "200 9\n201\n");
    ASSERT_TRUE(m_connection.Connect("127.0.0.1", m_server.Port()));
    EXPECT_EQ(Find("com.acme.A"), Strings{"9"});
    EXPECT_EQ(Stdout(), "Socket Read fail\n");
}

TEST_F(CLookupConnectionTest, ShortCountReplyIsNotRemembered)
{
    m_server.Answer("GETCOUNT com.", "200\n");
    EXPECT_TRUE(Find("com.A", false).empty());
    EXPECT_FALSE(m_cache.Find("com."));
    EXPECT_TRUE(m_connection.IsConnected());
}

TEST_F(CLookupConnectionTest, NamesThatWouldBreakTheLineAreNotSent)
{
    for (const char* name : {"com.acme\nGETSCID x", "a\rb", "tab\tname", "", "...", "."})
        EXPECT_TRUE(Find(name).empty()) << name;
    EXPECT_EQ(m_connection.GetCount("x\ny"), 0);
    EXPECT_TRUE(m_server.Requests().empty());
    EXPECT_TRUE(m_connection.IsConnected());
}

TEST_F(CLookupConnectionTest, FailedReadEndsTheLookup)
{
    m_server.Count({"a.", "a.B"}, 1);
    EXPECT_EQ(m_connection.GetCount("a."), 1);
    CSavedCalls saved;
    sys::Calls().recv = [](int, void*, size_t, int) -> ssize_t {
        errno = ECONNRESET;
        return -1;
    };
    EXPECT_EQ(m_connection.GetCount("a.B"), 0);
    EXPECT_FALSE(m_connection.IsConnected());
    EXPECT_EQ(Stdout(), "Socket Read fail\n");
}

TEST_F(CLookupConnectionTest, FailedSendIsReportedAndNotRemembered)
{
    CSavedCalls saved;
    sys::Calls().send = [](int, const void*, size_t, int) -> ssize_t {
        errno = EPIPE;
        return -1;
    };
    EXPECT_TRUE(Find("com.A", false).empty());
    EXPECT_FALSE(m_cache.Find("com."));
    EXPECT_EQ(Stdout(), "Socket Fail\n");
}

TEST_F(CLookupConnectionTest, FailedScidRequestIsReported)
{
    m_cache.Add("a.", true);
    m_cache.Add("a.B", true);
    CSavedCalls saved;
    sys::Calls().send = [](int, const void*, size_t, int) -> ssize_t {
        errno = ENOBUFS;
        return -1;
    };
    EXPECT_TRUE(Find("a.B", false).empty());
    EXPECT_EQ(Stdout(), "Socket Fail\n");
}

TEST(CLookupConnection, ConnectFailures)
{
    CPrefixCache cache;
    CLookupConnection connection(cache);
    connection.SetTimeLimit(2s);
    struct CCase
    {
        const char* what;
        std::string server;
        int port;
    };
    const CCase cases[] = {
        {"refused", "127.0.0.1", ClosedPort()},
        {"no server name", "", 21},
        {"port out of range", "127.0.0.1", 70000},
    };
    for (const CCase& c : cases) {
        testing::internal::CaptureStdout();
        EXPECT_FALSE(connection.Connect(c.server, c.port)) << c.what;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Socket Connect Error.\n") << c.what;
        EXPECT_FALSE(connection.IsConnected());
    }

    CSavedCalls saved;
    sys::Calls().socket = [](int, int, int) {
        errno = EMFILE;
        return -1;
    };
    testing::internal::CaptureStdout();
    EXPECT_FALSE(connection.Connect("127.0.0.1", 21));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "stream socket() failed.");
}

TEST(CLookupConnection, WithoutAServerEveryLookupFindsNothingAndNothingIsRemembered)
{
    CPrefixCache cache;
    CLookupConnection connection(cache);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(connection.Connect("127.0.0.1", ClosedPort()));
    Strings scids;
    EXPECT_FALSE(connection.FindScids("com.acme.A", scids));
    EXPECT_FALSE(connection.FindScids("com.acme.B", scids));
    EXPECT_TRUE(scids.empty());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Socket Connect Error.\nSocket Fail\nSocket Fail\n");
    EXPECT_EQ(cache.GetSize(), 0u);
}

TEST(CLookupConnection, SilentGreetingIsReportedAndTheConnectionStands)
{
    CScriptedLookupServer server("");
    server.Answer("GETCOUNT a.", "200 2\n");
    CPrefixCache cache;
    CLookupConnection connection(cache);
    connection.SetTimeLimit(300ms);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(connection.Connect("localhost", server.Port()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Socket Read fail\n");
    EXPECT_EQ(connection.GetCount("a."), 2);
}

TEST(CLookupConnection, ReconnectingClosesThePreviousConnection)
{
    CScriptedLookupServer server;
    CPrefixCache cache;
    CLookupConnection connection(cache);
    ASSERT_TRUE(connection.Connect("127.0.0.1", server.Port()));
    // The scripted server serves one client at a time: the second connection is only
    // greeted once the first is gone.
    ASSERT_TRUE(connection.Connect("127.0.0.1", server.Port()));
    server.Answer("GETCOUNT a.", "200 4\n");
    EXPECT_EQ(connection.GetCount("a."), 4);
    EXPECT_EQ(server.Connections(), 2);
}
