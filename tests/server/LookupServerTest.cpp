#include "LookupServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "AccessLog.h"
#include "FingerprintTable.h"
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
    for (int i = 0; i < 50; ++i) {
        answer += ReadSome(socket, 200);
        if (!answer.empty() && answer.back() == '\n' && (last.empty() || answer.find(last) != std::string::npos))
            break;
    }
    return answer;
}

// A client that sends thousands of requests and never reads an answer.
int ConnectStuckReader(int port)
{
    int socket = ConnectLoopback(port);
    ::fcntl(socket, F_SETFL, O_NONBLOCK);
    std::string requests;
    for (int k = 0; k < 2000; ++k)
        requests += "GETSCID com.acme.parse.Csv\n";
    for (int k = 0; k < 20; ++k)
        ::send(socket, requests.data(), requests.size(), MSG_NOSIGNAL);
    return socket;
}
}  // namespace

TEST_F(LookupServerTest, DatabaseCountsComponentsUnderAPrefix)
{
    // More rows from another source: a nested class of another component, a class whose
    // name extends another's.
    m_database.Add("com.acme.parse.Csv.Row", "1000009");
    m_database.Add("com.acme.parse.Csv2", "1000002");
    m_database.Build();
    struct Case
    {
        const char* prefix;
        int count;
    };
    const Case cases[] = {
        {"com.", 4}, {"com.acme.", 4}, {"com.acme.parse.", 4}, {"com.acme.parse", 4},  // a package without its dot
        {"com.acme.parse.Csv", 3},  // the class and what is nested in it
        {"com.acme.parse.Csv.", 1}, {"com.acme.parse.Csv.Row", 1}, {"com.acme.parse.Csv2", 1},
        {"com.acme.parse.Csv2.", 0}, {"com.acme.parse.Tsv", 1},
        {"com.acme.parse.Cs", 0},  // not a class, not a package
        {"org.", 1}, {"net.", 0}, {"", 0}, {"Parser.class", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(m_database.CountComponents(c.prefix), c.count) << c.prefix;
    EXPECT_EQ(m_database.FindComponents("com.acme.parse.Csv"), (std::vector<std::string>{"1000001", "1000003"}));
    EXPECT_TRUE(m_database.FindComponents("com.acme.parse").empty());
}

TEST_F(LookupServerTest, FingerprintTableFindsEveryVersionOnce)
{
    // A repeated row, a version holding two classes alike, and lines that are no rows.
    m_site.Write("lookup/fingerprints.txt",
                 "# fingerprint, SCID, version\n"
                 "00000000000000aa\t1000001\t1.0\n"
                 "00000000000000aa\t1000001\t1.1\n"
                 "00000000000000AA\t1000001\t1.0\n"
                 "00000000000000bb\t1000001\t1.1\n"
                 "00000000000000bb\t1000002\t2.0-beta\n"
                 "00000000000000cc\t1000001\n"
                 "00000000000000c\t1000001\t1.0\n"
                 "00000000000000dg\t1000001\t1.0\n"
                 "\t1000001\t1.0\n" +
                     std::string(2000, 'x') + "\n"
                 "00000000000000cc\t1000003\t3.0");
    CFingerprintTable table;
    std::string error;
    ASSERT_TRUE(table.Load(m_site.Path("lookup/fingerprints.txt"), error)) << error;
    auto named = [&](uint64_t fingerprint) {
        std::vector<std::string> versions;
        for (const auto* version : table.Find(fingerprint))
            versions.push_back(version->scid + " " + version->version);
        return versions;
    };
    EXPECT_EQ(named(0xaa), (std::vector<std::string>{"1000001 1.0", "1000001 1.1"}));
    EXPECT_EQ(named(0xbb), (std::vector<std::string>{"1000001 1.1", "1000002 2.0-beta"}));
    EXPECT_EQ(named(0xcc), (std::vector<std::string>{"1000003 3.0"}));  // the last line has no newline
    EXPECT_TRUE(named(0xdd).empty());
    EXPECT_EQ(table.RowCount(), 5u);
    EXPECT_EQ(table.VersionCount(), 4u);
    // No table yet is an empty one, not an error.
    EXPECT_TRUE(table.Load(m_site.Path("lookup/none.txt"), error)) << error;
    EXPECT_EQ(table.RowCount(), 0u);
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

TEST_F(LookupServerTest, AnswersFingerprintsAndBatches)
{
    std::string error;
    ASSERT_TRUE(m_log.Open(m_site.Path("access.log"), error)) << error;
    CFingerprintTable table;
    table.Add(0xaa, "1000001", "1.0");
    table.Add(0xaa, "1000001", "1.1");
    table.Add(0xbb, "1000002", "2.0");
    table.Build();
    CLookupServer server(m_database, m_log, 10);
    bool close = false;
    // Without a table every fingerprint is unknown.
    EXPECT_EQ(server.Answer("GETFP 00000000000000aa", close), "201 end of list\n");
    server.SetFingerprints(&table);
    ASSERT_TRUE(server.Start({"127.0.0.1", 0}, error)) << error;
    int socket = ConnectLoopback(server.Port());
    ASSERT_EQ(ReadSome(socket, 2000), CLookupServer::kGreeting);

    auto repeated = [](const std::string& line, int times) {
        std::string lines;
        for (int i = 0; i < times; ++i)
            lines += line;
        return lines;
    };
    const std::string onlyLookups = "500 a batch holds only GETCOUNT, GETSCID and GETFP requests\n";
    const std::string badCount = "501 BATCH needs the number of requests that follow, 1 to 1000\n";
    struct CCase
    {
        const char* what;
        std::string request;
        std::string expected;
        std::string last;  // the answer is read until it holds this
    };
    const CCase cases[] = {
        {"every version once", "GETFP 00000000000000aa\n", "200 1000001 1.0\n200 1000001 1.1\n201 end of list\n", "201"},
        {"any case", "getfp 00000000000000BB\n", "200 1000002 2.0\n201 end of list\n", "201"},
        {"unknown", "GETFP 00000000000000dd\n", "201 end of list\n", "201"},
        {"not a fingerprint", "GETFP 0xaa\n", "201 end of list\n", "201"},
        {"no argument", "GETFP\n", "501 GETFP needs a fingerprint\n", ""},
        {"a batch in order",
         "BATCH 4\nGETCOUNT com.\nGETFP 00000000000000bb\nGETSCID com.acme.parse.Csv\nGETCOUNT net.\n",
         "200 2\n200 1000002 2.0\n201 end of list\n200 1000001\n200 1000003\n201 end of list\n200 0\n", "200 0"},
        {"each line as if alone", "BATCH 2\ngetscid\r\nGETCOUNT org.\n", "501 GETSCID needs a class name\n200 1\n",
         "200 1"},
        {"another verb: nothing of it, and the connection goes on",
         "BATCH 3\nGETCOUNT com.\nQUIT\nGETCOUNT org.\nGETCOUNT net.\n", onlyLookups + "200 0\n", "200 0"},
        {"no batch in a batch", "BATCH 2\nBATCH 1\nGETCOUNT com.\nGETCOUNT net.\n", onlyLookups + "200 0\n", "200 0"},
        {"zero", "BATCH 0\nGETCOUNT net.\n", badCount + "200 0\n", "200 0"},
        {"not a number", "BATCH 2x\nGETCOUNT net.\n", badCount + "200 0\n", "200 0"},
        {"no number", "BATCH\nGETCOUNT net.\n", badCount + "200 0\n", "200 0"},
        {"oversized: its lines are passed over",
         "BATCH 1001\n" + repeated("GETCOUNT com.\n", 1001) + "GETCOUNT net.\n",
         "501 a batch holds at most 1000 requests\n200 0\n", "200 0"},
        {"not whole yet; empty lines are no requests", "BATCH 2\nGETCOUNT com.\n\n", "", ""},
        {"whole", "GETCOUNT org.\n", "200 2\n200 1\n", "200 1"},
        {"the largest", "BATCH 1000\n" + repeated("GETSCID com.acme.parse.Nothing\n", 1000) + "QUIT\n",
         repeated("201 end of list\n", 1000) + "221 goodbye\n", "221"},
    };
    for (const CCase& c : cases) {
        if (c.expected.empty()) {
            ::send(socket, c.request.data(), c.request.size(), MSG_NOSIGNAL);
            EXPECT_EQ(ReadSome(socket, 300), "") << c.what;
        } else {
            EXPECT_EQ(Ask(socket, c.request, c.last), c.expected) << c.what;
        }
    }
    ::close(socket);
    server.Stop();

    // A batch is one request in the log, however many lines it holds.
    std::ifstream log(m_site.Path("access.log"));
    size_t lines = 0, batches = 0;
    for (std::string line; std::getline(log, line); ++lines)
        batches += line.find("\"LOOKUP BATCH 1000 (GETSCID") != std::string::npos;
    EXPECT_EQ(batches, 1u);
    // One per request: a batch, refused or not, is one; the lines passed over are none.
    EXPECT_EQ(lines, 22u);
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

    // A line in a batch is bounded as any other.
    int batched = ConnectLoopback(server.Port());
    ASSERT_EQ(ReadSome(batched, 2000), CLookupServer::kGreeting);
    EXPECT_EQ(Ask(batched, "BATCH 2\nGETCOUNT com.\n" + longLine).substr(0, 4), "500 ");
    EXPECT_TRUE(PeerClosedWithin(batched, 2000));
    ::close(batched);

    // A batch that never becomes whole is silence.
    for (const char* start : {"", "BATCH 2\nGETCOUNT com.\n"}) {
        int silent = ConnectLoopback(server.Port());
        ASSERT_EQ(ReadSome(silent, 2000), CLookupServer::kGreeting);
        ::send(silent, start, std::strlen(start), MSG_NOSIGNAL);
        EXPECT_EQ(ReadSome(silent, 3000).substr(0, 4), "421 ") << start;
        EXPECT_TRUE(PeerClosedWithin(silent, 2000));
        ::close(silent);
    }

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
    // One that never reads its answers is stopped too.
    int stuck = ConnectStuckReader(server.Port());
    server.Stop();
    EXPECT_TRUE(PeerClosedWithin(socket, 2000));
    ::close(socket);
    ::close(stuck);
    EXPECT_LT(ConnectLoopback(server.Port()), 0);
}

// On a socket the test holds, as systemd holds it across a restart: a stop answers what each
// client asked, and a client that comes meanwhile is answered by the next server.
TEST_F(LookupServerTest, AStopAnswersWhatWasAskedAndTheNextServerTheRest)
{
    int port = 0;
    int listening = ListenLoopback(port);
    ASSERT_GE(listening, 0);
    CLookupServer server(m_database, m_log, 60);
    std::string error;
    ASSERT_TRUE(server.Start(::dup(listening), error)) << error;
    EXPECT_EQ(server.Port(), port);
    int served = ConnectLoopback(port);
    ASSERT_EQ(ReadSome(served, 2000), CLookupServer::kGreeting);
    EXPECT_EQ(Ask(served, "GETCOUNT com.\n"), "200 2\n");
    int fresh = ConnectLoopback(port);
    ASSERT_EQ(ReadSome(fresh, 2000), CLookupServer::kGreeting);

    server.StopAccepting();
    EXPECT_EQ(ReadSome(served, 2000), "421 server stopping, closing\n");
    EXPECT_TRUE(PeerClosedWithin(served, 2000));
    // One that has asked nothing yet may still ask once.
    EXPECT_EQ(Ask(fresh, "GETCOUNT org.\n", "421"), "200 1\n421 server stopping, closing\n");
    EXPECT_TRUE(server.WaitUntilIdle(std::chrono::steady_clock::now() + std::chrono::seconds(5)));
    int waiting = ConnectLoopback(port);
    ASSERT_GE(waiting, 0);
    ::send(waiting, "GETCOUNT com.\n", 14, MSG_NOSIGNAL);
    server.Stop();

    CLookupServer next(m_database, m_log, 60);
    ASSERT_TRUE(next.Start(::dup(listening), error)) << error;
    EXPECT_EQ(Ask(waiting, "", "200"), std::string(CLookupServer::kGreeting) + "200 2\n");
    next.Stop();
    for (int fd : {served, fresh, waiting, listening})
        ::close(fd);
}

TEST_F(LookupServerTest, HostileClientsAreBounded)
{
    CLookupServer server(m_database, m_log, CLookupLimits{.idleSeconds = 1, .lifetimeSeconds = 5, .maxPerClient = 4});
    std::string error;
    ASSERT_TRUE(server.Start({"127.0.0.1", 0}, error)) << error;
    auto normalClientServed = [&] {
        int socket = ConnectLoopback(server.Port(), "127.0.0.2");
        bool served = ReadSome(socket, 2000) == CLookupServer::kGreeting && Ask(socket, "GETCOUNT com.\n") == "200 2\n";
        ::close(socket);
        return served;
    };
    // Readers that never read: the answers back up until sending them times out.
    std::vector<int> stuck;
    for (int i = 0; i < 2; ++i)
        stuck.push_back(ConnectStuckReader(server.Port()));
    // Empty lines are silence; a busy client ends with its lifetime.
    int blank = ConnectLoopback(server.Port());
    int busy = ConnectLoopback(server.Port());
    std::string blankAnswers;
    std::string busyAnswers;
    bool servedThroughout = true;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
    for (int tick = 0; std::chrono::steady_clock::now() < until; ++tick) {
        ::send(blank, "\n", 1, MSG_NOSIGNAL);
        ::send(busy, "GETCOUNT org.\n", 14, MSG_NOSIGNAL);
        blankAnswers += ReadSome(blank, 100);
        busyAnswers += ReadSome(busy, 100);
        if (tick % 5 == 0)
            servedThroughout = normalClientServed() && servedThroughout;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(servedThroughout);
    EXPECT_NE(blankAnswers.find("421 idle too long"), std::string::npos) << blankAnswers;
    EXPECT_EQ(busyAnswers.find("421"), std::string::npos) << "ended before its lifetime";
    until = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    while (std::chrono::steady_clock::now() < until && busyAnswers.find("421") == std::string::npos) {
        ::send(busy, "GETCOUNT org.\n", 14, MSG_NOSIGNAL);
        busyAnswers += ReadSome(busy, 200);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_NE(busyAnswers.find("421 connection open too long"), std::string::npos);
    for (int socket : stuck)
        EXPECT_TRUE(PeerClosedWithin(socket, 5000));

    // Four connections from one address; a fifth waits its turn, other addresses do not.
    std::vector<int> held;
    for (int i = 0; i < 4; ++i) {
        held.push_back(ConnectLoopback(server.Port()));
        ASSERT_EQ(ReadSome(held.back(), 2000), CLookupServer::kGreeting);
    }
    int fifth = ConnectLoopback(server.Port());
    EXPECT_EQ(ReadSome(fifth, 2000).substr(0, 4), "421 ");
    EXPECT_TRUE(normalClientServed());
    for (int socket : held)
        ::close(socket);
    for (int socket : stuck)
        ::close(socket);
    ::close(fifth);
    ::close(blank);
    ::close(busy);
}
