#include "LookupConnection.h"

#include <cerrno>
#include <climits>
#include <algorithm>
#include <cstdio>
#include <map>
#include <unordered_map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LookupService.h"
#include "ScriptedLookupServer.h"
#include "SystemCalls.h"
#include "support/SwappedCall.h"

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
    // name and each of its prefixes have components; GETSCID name answers reply.
    void Know(const std::string& name, const CReply& reply)
    {
        for (size_t dot = name.find('.'); dot != std::string::npos; dot = name.find('.', dot + 1))
            m_server.Count({name.substr(0, dot + 1)}, 1);
        m_server.Count({name}, 1);
        m_server.Answer("GETSCID " + name, reply);
    }

    CScriptedLookupServer m_server;
    CPrefixCache m_cache;
    CLookupConnection m_connection{m_cache};
    bool m_stdoutTaken = false;
};
}  // namespace

TEST_F(CLookupConnectionTest, PrefixWalkAsksEachPrefixOnce)
{
    m_server.Count({"com.", "com.acme.", "com.acme.A", "com.acme.B", "org.", "Parser.", "Parser.class"}, 1);
    m_server.Answer("GETSCID com.acme.A", "200 7\n201\n");
    m_server.Answer("GETSCID com.acme.B", "200 8\n201\n");
    m_server.Answer("GETSCID Parser.class", "200 5\n201\n");

    EXPECT_TRUE(Find("Parser").empty());  // answered 0: no GETSCID
    EXPECT_EQ(Find("com.acme.A"), Strings{"7"});
    EXPECT_EQ(Find("com.acme.B"), Strings{"8"});
    EXPECT_TRUE(Find("org.none.C").empty());
    EXPECT_TRUE(Find("org.none.D").empty());  // org.none. is known to be empty
    EXPECT_TRUE(Find("net.x.Y").empty());
    EXPECT_TRUE(Find("net.z.W").empty());  // after net. answered 0 nothing is sent
    EXPECT_EQ(Find("Parser.class"), Strings{"5"});
    EXPECT_EQ(m_server.Requests(),
              (Strings{"GETCOUNT Parser", "GETCOUNT com.", "GETCOUNT com.acme.", "GETCOUNT com.acme.A",
                       "GETSCID com.acme.A", "GETCOUNT com.acme.B", "GETSCID com.acme.B", "GETCOUNT org.",
                       "GETCOUNT org.none.", "GETCOUNT net.", "GETCOUNT Parser.", "GETCOUNT Parser.class",
                       "GETSCID Parser.class"}));

    // The answers outlive the connection: a later scan with the same cache asks nothing.
    m_connection.Close();
    CLookupConnection later(m_cache);
    ASSERT_TRUE(later.Connect("127.0.0.1", m_server.Port()));
    Strings scids;
    EXPECT_TRUE(later.FindScids("net.q.R", scids));
    EXPECT_EQ(m_server.Requests().size(), 13u);
}

TEST_F(CLookupConnectionTest, EmptyTokensVanishFromThePrefixes)
{
    m_server.Count({"com.", "com.acme"}, 1);
    m_server.Answer("GETSCID .com..acme.", "200 3\n201\n");
    EXPECT_EQ(Find(".com..acme."), Strings{"3"});
    EXPECT_EQ(m_server.Requests(), (Strings{"GETCOUNT com.", "GETCOUNT com.acme", "GETSCID .com..acme."}));
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
        {"status by its number, SCID after four characters", {{"0200 4\n200\n201 more\n"}}, {" 4"}},
        {"nothing found", {{"201\n"}}, {}},
        {"after the end line", {{"200 1\n201\n200 2\n201\n"}}, {"1"}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        std::string name = "p" + std::to_string(i) + ".C";
        Know(name, cases[i].reply);
        EXPECT_EQ(Find(name), cases[i].expected) << cases[i].what;
    }
    // Still in step: what followed an end line was not taken for this reply.
    m_server.Answer("GETCOUNT z.", "200 3\n");
    EXPECT_EQ(m_connection.GetCount("z."), 3);
    EXPECT_EQ(Stdout(), "");
}

TEST_F(CLookupConnectionTest, PipelinedLookupsAnswerAsOneByOne)
{
    const std::pair<const char*, CReply> known[] = {
        {"a.b.One", {{"200 7\n201\n"}}},           {"a.b.Two", {{"200 12\n", "200 15\n201\n"}}},
        {"a.c.Split", {{"200 1", "2\n20", "1\n"}}}, {"a.Cr", {{"200 5\r\n201\r\n"}}},
        {"d.None", {{"201\n"}}},                   {"d.Blank", {{"\n200 9\n\n201\n"}}},
        {"d.Odd", {{"0200 4\n200\n201\n"}}},
    };
    for (const auto& [name, reply] : known)
        Know(name, reply);
    const Strings names{"a.b.One", "x.y.Unknown", "a.b.Two", "a.b.One",     "a.c.Split",  "a.Cr",
                        "d.None",  "d.Blank",     "Bare",    "a.b.Missing", "line\nbreak", "x.y.Other",
                        "d.Odd"};
    std::map<std::string, Strings> oneByOne;
    for (const std::string& name : names)
        oneByOne[name] = Find(name);
    const size_t sequential = m_connection.GetRequestCount();
    m_connection.Close();  // the scripted server serves one client at a time

    // A server of today's kind refuses the first batch and answers its lines one by one;
    // the rest goes line by line. One that takes batches gets nothing else.
    for (bool batches : {false, true}) {
        if (batches)
            m_server.TakeBatches();
        const size_t before = m_server.Requests().size();
        CPrefixCache cache;
        CLookupConnection pipelined(cache);
        pipelined.SetTimeLimit(2s);
        pipelined.SetRateLimit(100000);
        ASSERT_TRUE(pipelined.Connect("127.0.0.1", m_server.Port()));
        std::map<std::string, Strings> found;
        ASSERT_TRUE(pipelined.FindScidsPipelined(names, found));
        EXPECT_EQ(found, oneByOne) << batches;
        // Each request once, and fewer than one by one: a.b.One is asked once, and a name
        // goes to GETSCID without being counted itself.
        Strings requests = m_server.Requests();
        requests.erase(requests.begin(), requests.begin() + static_cast<std::ptrdiff_t>(before));
        const auto headers = std::count_if(requests.begin(), requests.end(),
                                           [](const std::string& request) { return request.starts_with("BATCH "); });
        EXPECT_EQ(pipelined.GetRequestCount(), batches ? static_cast<size_t>(headers) : requests.size()) << batches;
        EXPECT_EQ(headers, batches ? 3 : 1) << "a round of counts per package level, then the names";
        std::sort(requests.begin(), requests.end());
        EXPECT_EQ(std::adjacent_find(requests.begin(), requests.end()), requests.end());
        EXPECT_LT(requests.size(), sequential);
    }
    EXPECT_EQ(Stdout(), "");
}

// Batches of up to a thousand lines, each one request against the rate cap, in order.
TEST_F(CLookupConnectionTest, LargeLookupsGoInBatches)
{
    m_connection.Close();
    m_server.TakeBatches();
    m_server.Count({"big."}, 1);
    Strings names;
    for (int i = 0; i < 2500; ++i) {
        names.push_back("big.C" + std::to_string(i));
        if (i % 500 == 0)
            m_server.Answer("GETSCID " + names.back(), "200 " + std::to_string(i) + "\n201\n");
    }
    CLookupConnection connection(m_cache);
    connection.SetRateLimit(100);  // one name a request would take 25 s
    ASSERT_TRUE(connection.Connect("127.0.0.1", m_server.Port()));
    const auto start = std::chrono::steady_clock::now();
    std::map<std::string, Strings> found;
    ASSERT_TRUE(connection.FindScidsPipelined(names, found));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(found.size(), names.size());
    EXPECT_EQ(found["big.C1000"], Strings{"1000"});
    EXPECT_EQ(found["big.C2000"], Strings{"2000"});
    EXPECT_TRUE(found["big.C2001"].empty());
    // The count (the first batch, small until the server has taken one), then full ones.
    Strings headers;
    for (const std::string& request : m_server.Requests())
        if (request.starts_with("BATCH "))
            headers.push_back(request);
    EXPECT_EQ(headers, (Strings{"BATCH 1", "BATCH 1000", "BATCH 1000", "BATCH 500"}));
    EXPECT_EQ(connection.GetRequestCount(), headers.size());
}

// The versions of fingerprints: answers in any shape, and floods or silence bounded.
TEST_F(CLookupConnectionTest, FingerprintVersions)
{
    using C = CLookupConnection;
    m_connection.SetTimeLimit(500ms);
    m_server.TakeBatches();
    std::string many;
    for (size_t i = 0; i <= C::kMaxHits; ++i)
        many += "200 7 1." + std::to_string(i) + "\n";
    struct CCase
    {
        const char* what;
        CReply reply;
        Strings hits;  // "SCID version"
        bool answered;
    };
    const CCase cases[] = {
        {"versions in order", {{"200 1000001 1.0\n200 1000002 2.0-beta\n201 end of list\n"}}, {"1000001 1.0", "1000002 2.0-beta"}, true},
        {"split across reads", {{"200 10000", "01 1.0\n2", "01\n"}}, {"1000001 1.0"}, true},
        {"carriage returns", {{"200 7 1.0\r\n201\r\n"}}, {"7 1.0"}, true},
        {"lines that are no hits", {{"200 7\n200  1.0\n200 7 \n250 8 2.0\n\n201\n"}}, {}, true},
        {"unknown", {{"201\n"}}, {}, true},
        {"too many versions", {{many + "201\n"}}, {}, false},
        {"a version too long", {{"200 7 " + std::string(C::kMaxVersionLength + 1, 'v') + "\n201\n"}}, {}, false},
        {"endless line", {{"200 7 " + std::string(C::kMaxReplySize + 10, 'v')}}, {}, false},
        {"silence", {{}}, {}, false},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const uint64_t fingerprint = 0xfeed0000 + i;
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(fingerprint));
        m_server.Answer(std::string("GETFP ") + text, cases[i].reply);
        ASSERT_TRUE(m_connection.Connect("127.0.0.1", m_server.Port()));
        std::unordered_map<uint64_t, std::vector<CFingerprintHit>> found;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(m_connection.FindVersionsPipelined({fingerprint, fingerprint}, found), cases[i].answered)
            << cases[i].what;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        EXPECT_EQ(m_connection.IsConnected(), cases[i].answered) << cases[i].what;
        EXPECT_EQ(found.count(fingerprint), cases[i].answered ? 1u : 0u) << cases[i].what;
        Strings hits;
        for (const CFingerprintHit& hit : found[fingerprint])
            hits.push_back(hit.scid + " " + hit.version);
        EXPECT_EQ(hits, cases[i].hits) << cases[i].what;
    }

    // A scan asks each fingerprint once, and makes the connection anew once when it failed.
    ASSERT_TRUE(m_connection.Connect("127.0.0.1", m_server.Port()));
    int reconnects = 0;
    CLookupService service(m_connection, [&] {
        ++reconnects;
        return m_connection.Connect("127.0.0.1", m_server.Port());
    });
    EXPECT_TRUE(service.LookUpFingerprints({0xfeed0000, 0xfeed0004, 0xfeed0000}));
    const size_t asked = m_server.Requests().size();
    EXPECT_TRUE(service.LookUpFingerprints({0xfeed0004, 0xfeed0000}));
    EXPECT_EQ(m_server.Requests().size(), asked);
    ASSERT_EQ(service.VersionsOf(0xfeed0000).size(), 2u);
    EXPECT_EQ(service.VersionsOf(0xfeed0000)[1].version, "2.0-beta");
    EXPECT_TRUE(service.VersionsOf(0xfeed0004).empty());
    EXPECT_TRUE(service.VersionsOf(0xbad).empty());  // never asked
    EXPECT_FALSE(service.LookUpFingerprints({0xfeed0000 + std::size(cases) - 1}));  // silence, twice
    EXPECT_EQ(reconnects, 1);
}

// However a server answers a batch, all of it together stays bounded.
TEST_F(CLookupConnectionTest, AllAnswersOfABatchTogetherAreBounded)
{
    using C = CLookupConnection;
    m_connection.Close();
    m_server.TakeBatches();
    // Replies just inside the bounds of one reply each.
    std::string full;
    for (size_t i = 0; i < C::kMaxHits && full.size() + 70 < C::kMaxReplySize; ++i)
        full += "200 " + std::string(30, 's') + " " + std::string(30, 'v') + "\n";
    full += "201\n";
    const size_t needed = C::kMaxBatchReplySize / full.size() + 2;
    std::vector<uint64_t> fingerprints;
    for (uint64_t i = 1; i <= needed; ++i) {
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(i));
        m_server.Answer(std::string("GETFP ") + text, full);
        fingerprints.push_back(i);
    }
    CLookupConnection connection(m_cache);
    ASSERT_TRUE(connection.Connect("127.0.0.1", m_server.Port()));
    std::unordered_map<uint64_t, std::vector<CFingerprintHit>> found;
    // The first batch is small; once the server has taken one, they are whole.
    ASSERT_TRUE(connection.FindVersionsPipelined({0}, found));
    found.clear();
    EXPECT_FALSE(connection.FindVersionsPipelined(fingerprints, found));
    EXPECT_FALSE(connection.IsConnected());
    EXPECT_LT(found.size(), needed - 1);
    EXPECT_GT(found.size(), 0u);  // what was whole before stays
}

TEST_F(CLookupConnectionTest, LastLineWithoutLineFeedCountsWhenTheServerCloses)
{
    Know("a.B", CReply{{"200 6\n201"}, CReply::CAfter::Close});
    EXPECT_EQ(Find("a.B"), Strings{"6"});
    EXPECT_EQ(Stdout(), "");
}

TEST_F(CLookupConnectionTest, SilentOrClosingServerEndsTheLookupWithWhatArrived)
{
    m_connection.SetTimeLimit(300ms);
    for (CReply::CAfter after : {CReply::CAfter::Stay, CReply::CAfter::Close}) {
        ASSERT_TRUE(m_connection.Connect("127.0.0.1", m_server.Port()));
        std::string name = after == CReply::CAfter::Stay ? "silent.B" : "closing.B";
        Know(name, CReply{{"200 3\n200 4"}, after});  // and never the end line
        auto start = std::chrono::steady_clock::now();
        // A last line without its line feed is whole only when the server has closed.
        EXPECT_EQ(Find(name, false), after == CReply::CAfter::Stay ? Strings{"3"} : (Strings{"3", "4"})) << name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        EXPECT_FALSE(m_connection.IsConnected());
        // A late answer must not be read as the reply to the next question: nothing more is sent.
        size_t requests = m_server.Requests().size();
        EXPECT_EQ(m_connection.GetCount("b."), 0);
        EXPECT_EQ(m_server.Requests().size(), requests);
    }
    EXPECT_EQ(Stdout(), "Socket Read fail\nSocket Fail\nSocket Read fail\nSocket Fail\n");
}

// A flood is no answer: nothing of it is kept, and the connection closes.
TEST_F(CLookupConnectionTest, RepliesOutOfBoundsContributeNothing)
{
    using C = CLookupConnection;
    std::string many;
    for (size_t i = 0; i <= C::kMaxScids; ++i)
        many += "200 " + std::to_string(i) + "\n";
    std::string bulky;
    while (bulky.size() <= C::kMaxReplySize)
        bulky += "200 " + std::string(C::kMaxScidLength, 's') + "\n";
    const std::pair<const char*, std::string> floods[] = {
        {"a SCID too long", "200 7\n200 " + std::string(C::kMaxScidLength + 1, 'x') + "\n201\n"},
        {"too many SCIDs", many + "201\n"},
        {"too large a reply", bulky + "201\n"},
        {"endless line", "200 " + std::string(C::kMaxReplySize + 10, 'x')},
    };
    for (size_t i = 0; i < std::size(floods); ++i) {
        ASSERT_TRUE(m_connection.Connect("127.0.0.1", m_server.Port()));
        Know("f" + std::to_string(i) + ".C", {{floods[i].second}});
        EXPECT_EQ(Find("f" + std::to_string(i) + ".C", false), Strings{}) << floods[i].first;
        EXPECT_FALSE(m_connection.IsConnected()) << floods[i].first;
    }
    // Right at the bounds a reply stands.
    ASSERT_TRUE(m_connection.Connect("127.0.0.1", m_server.Port()));
    Know("full.C", {{many.substr(0, many.rfind("200 ")) + "201\n"}});
    EXPECT_EQ(Find("full.C").size(), C::kMaxScids);
    Know("long.C", {{"200 " + std::string(C::kMaxScidLength, 'y') + "\n201\n"}});
    EXPECT_EQ(Find("long.C").size(), 1u);
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
    for (size_t i = 0; i < std::size(cases); ++i) {
        std::string prefix = "q" + std::to_string(i) + ".";
        m_server.Answer("GETCOUNT " + prefix, cases[i].reply);
        EXPECT_EQ(m_connection.GetCount(prefix), cases[i].expected) << cases[i].what;
    }
    EXPECT_TRUE(m_connection.IsConnected());
}

TEST_F(CLookupConnectionTest, UnansweredCountsAreNotRemembered)
{
    m_server.Answer("GETCOUNT short.", "200\n");
    EXPECT_TRUE(Find("short.A", false).empty());
    m_server.Answer("GETCOUNT gone.", CReply{{}, CReply::CAfter::Close});
    EXPECT_TRUE(Find("gone.A", false).empty());
    {
        ASSERT_TRUE(m_connection.Connect("127.0.0.1", m_server.Port()));
        CSwappedCall failing(sys::Calls().send, [](int, const void*, size_t, int) -> ssize_t {
            errno = EPIPE;
            return -1;
        });
        EXPECT_TRUE(Find("unsent.A", false).empty());
    }
    EXPECT_EQ(m_cache.GetSize(), 0u);
    EXPECT_EQ(Stdout(), "Socket Read fail\nSocket Fail\n");

    // Once the server answers, the prefix is asked anew.
    ASSERT_TRUE(m_connection.Connect("127.0.0.1", m_server.Port()));
    Know("gone.A", {{"200 9\n201\n"}});
    EXPECT_EQ(Find("gone.A"), Strings{"9"});
}

TEST_F(CLookupConnectionTest, FailedReadOrScidRequestEndsTheLookup)
{
    m_cache.Add("a.", true);
    m_cache.Add("a.B", true);
    CSwappedCall failing(sys::Calls().recv, [](int, void*, size_t, int) -> ssize_t {
        errno = ECONNRESET;
        return -1;
    });
    EXPECT_EQ(m_connection.GetCount("x."), 0);
    EXPECT_FALSE(m_connection.IsConnected());
    EXPECT_TRUE(Find("a.B", false).empty());  // the GETSCID cannot be sent
    EXPECT_EQ(Stdout(), "Socket Read fail\nSocket Fail\n");
}

TEST_F(CLookupConnectionTest, NamesThatWouldBreakTheLineAreNotSent)
{
    for (const char* name : {"com.acme\nGETSCID x", "a\rb", "tab\tname", "", "...", "."})
        EXPECT_TRUE(Find(name).empty()) << name;
    EXPECT_EQ(m_connection.GetCount("x\ny"), 0);
    EXPECT_TRUE(m_server.Requests().empty());
    EXPECT_TRUE(m_connection.IsConnected());
}

TEST(CLookupConnection, ConnectFailures)
{
    int closedPort = 0;
    {
        CScriptedLookupServer gone;
        closedPort = gone.Port();
    }
    CPrefixCache cache;
    CLookupConnection connection(cache);
    for (const auto& [server, port] : {std::pair<std::string, int>{"127.0.0.1", closedPort}, {"", 21}, {"127.0.0.1", 70000}}) {
        testing::internal::CaptureStdout();
        EXPECT_FALSE(connection.Connect(server, port)) << server << ":" << port;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Socket Connect Error.\n");
    }
    testing::internal::CaptureStdout();
    Strings scids;
    EXPECT_FALSE(connection.FindScids("com.acme.A", scids));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Socket Fail\n");
    EXPECT_EQ(cache.GetSize(), 0u);

    CSwappedCall failing(sys::Calls().socket, [](int, int, int) {
        errno = EMFILE;
        return -1;
    });
    testing::internal::CaptureStdout();
    EXPECT_FALSE(connection.Connect("127.0.0.1", 21));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "stream socket() failed.");
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
