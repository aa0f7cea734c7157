// libKeshBridg.so in a real JVM against a real bus: a private dbus-daemon that activates
// vantrel-test-host, which owns Vantrel.Application and records the calls it receives.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "JavaRun.h"
#include "support/ChildProcess.h"
#include "support/PrivateBus.h"

namespace
{
using Fields = std::vector<std::string>;

const std::string kOk = "ok";
const std::string kUnbound = "threw java.lang.UnsatisfiedLinkError";

std::string Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char c = text[++i];
            out += c == 't' ? '\t' : c == 'n' ? '\n' : c;
        } else {
            out += text[i];
        }
    }
    return out;
}

class BridgeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error = m_bus.Start();
        ASSERT_TRUE(error.empty()) << error;
    }

    std::string RecordPath() const { return m_bus.Dir().File("record.txt"); }

    std::string HostCommand(const std::string& mode) const
    {
        return std::string(TEST_HOST) + " --record " + RecordPath() + " --mode " + mode;
    }

    // The bus starts the test host as it starts the real one.
    void ActivatableHost(const std::string& mode = "answer") { m_bus.AddHostService(HostCommand(mode) + " -Embedding"); }

    // The record's lines of one kind ("start", "call", "gone"), without the kind.
    std::vector<Fields> Recorded(const std::string& kind) const
    {
        std::vector<Fields> lines;
        std::istringstream in(ReadFileText(RecordPath()));
        std::string line;
        while (std::getline(in, line)) {
            Fields fields;
            std::istringstream parts(line);
            std::string part;
            while (std::getline(parts, part, '\t'))
                fields.push_back(Unescape(part));
            if (!line.empty() && line.back() == '\t')
                fields.push_back("");
            if (!fields.empty() && fields[0] == kind)
                lines.emplace_back(fields.begin() + 1, fields.end());
        }
        return lines;
    }

    // The recorded calls as method and arguments, without the sender.
    std::vector<Fields> RecordedCalls() const
    {
        std::vector<Fields> calls;
        for (const Fields& call : Recorded("call"))
            calls.emplace_back(call.begin() + 1, call.end());
        return calls;
    }

    bool WaitForRecord(const std::string& kind, size_t count) const
    {
        for (int i = 0; i < 500; ++i) {
            if (Recorded(kind).size() >= count)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Runs the driver to its end; a JNI misuse that -Xcheck:jni sees fails the test.
    void Run(CJavaRun& run, const std::vector<std::string>& steps, const std::vector<std::string>& env = {},
             const std::string& address = {})
    {
        ASSERT_TRUE(run.Start(address.empty() ? m_bus.Address() : address, steps, env));
        ASSERT_TRUE(run.Finish()) << "the JVM did not end";
        EXPECT_EQ(run.ExitCode(), 0) << run.Out() << run.Err();
        EXPECT_EQ(run.Out().find("WARNING"), std::string::npos) << run.Out();
    }

    static std::vector<std::string> Results(const CJavaRun& run)
    {
        std::vector<std::string> results;
        for (const CJavaRun::CCall& call : run.Calls())
            results.push_back(call.result);
        return results;
    }

    CPrivateBus m_bus;
};

// The three operations through one plug-in class.
std::vector<std::string> AllThree(const std::string& plugin)
{
    return {plugin, "launch", plugin, "tab", "Local", plugin, "java", "java.util", "Vector", ""};
}

std::vector<std::string> AllPlugins()
{
    std::vector<std::string> steps;
    for (const char* plugin : {"forte", "jbuilder", "vc"}) {
        std::vector<std::string> three = AllThree(plugin);
        steps.insert(steps.end(), three.begin(), three.end());
    }
    return steps;
}
}  // namespace

TEST_F(BridgeTest, LaunchStartsTheHostThroughActivationAndThenReachesIt)
{
    ActivatableHost();
    CJavaRun first;
    Run(first, {"forte", "launch"});
    EXPECT_EQ(Results(first), (std::vector<std::string>{kOk}));
    std::vector<Fields> starts = Recorded("start");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0][1], "-Embedding");
    EXPECT_EQ(RecordedCalls(), (std::vector<Fields>{{"Launch"}}));

    CJavaRun second;
    Run(second, {"vc", "launch"});
    EXPECT_EQ(Results(second), (std::vector<std::string>{kOk}));
    EXPECT_EQ(Recorded("start").size(), 1u) << "the running host is reached, not started again";
    EXPECT_EQ(RecordedCalls(), (std::vector<Fields>{{"Launch"}, {"Launch"}}));
}

TEST_F(BridgeTest, OpenDialogWindowPassesTheTabNameUnchanged)
{
    ActivatableHost();
    CJavaRun run;
    Run(run, {"forte", "tab", "Local", "jbuilder", "tab", "marketplace", "vc", "tab", "", "forte", "tab", " Java "});
    EXPECT_EQ(Results(run), (std::vector<std::string>(4, kOk)));
    EXPECT_EQ(RecordedCalls(), (std::vector<Fields>{
                                   {"ShowTab", "Local"}, {"ShowTab", "marketplace"}, {"ShowTab", ""}, {"ShowTab", " Java "}}));
}

TEST_F(BridgeTest, OpenJavaTabPassesPackageClassAndMethodInOrder)
{
    ActivatableHost();
    CJavaRun run;
    Run(run, {"forte", "java", "java.util", "Vector", "", "vc", "java", "java.lang", "String", "indexOf"});
    EXPECT_EQ(Results(run), (std::vector<std::string>(2, kOk)));
    EXPECT_EQ(RecordedCalls(), (std::vector<Fields>{{"ShowJavaItem", "java.util", "Vector", ""},
                                                    {"ShowJavaItem", "java.lang", "String", "indexOf"}}));
}

TEST_F(BridgeTest, TheThreePluginClassesBindAndAFourthDoesNot)
{
    ActivatableHost();
    std::vector<std::string> steps = AllPlugins();
    std::vector<std::string> other = AllThree("other");
    steps.insert(steps.end(), other.begin(), other.end());
    CJavaRun run;
    Run(run, steps);

    std::vector<std::string> expected(9, kOk);
    expected.insert(expected.end(), 3, kUnbound);
    EXPECT_EQ(Results(run), expected);
    std::vector<Fields> three = {{"Launch"}, {"ShowTab", "Local"}, {"ShowJavaItem", "java.util", "Vector", ""}};
    std::vector<Fields> calls;
    for (int i = 0; i < 3; ++i)
        calls.insert(calls.end(), three.begin(), three.end());
    EXPECT_EQ(RecordedCalls(), calls);
}

TEST_F(BridgeTest, OneConnectionServesTheProcessAndClosesWithIt)
{
    ActivatableHost();
    CJavaRun run;
    Run(run, AllThree("jbuilder"));
    std::vector<Fields> calls = Recorded("call");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1][0], calls[0][0]);
    EXPECT_EQ(calls[2][0], calls[0][0]);
    // The JVM has ended: the host sees its client go.
    ASSERT_TRUE(WaitForRecord("gone", 1));
    EXPECT_EQ(Recorded("gone")[0], (Fields{calls[0][0]}));

    CJavaRun next;
    Run(next, {"forte", "launch"});
    calls = Recorded("call");
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_NE(calls[3][0], calls[0][0]);
}

TEST_F(BridgeTest, ReachesAHostTheUserStarted)
{
    CChildProcess host;
    ASSERT_TRUE(host.Start({TEST_HOST, "--record", RecordPath()},
                           CEnvironment().Set("DBUS_SESSION_BUS_ADDRESS", m_bus.Address()), "",
                           m_bus.Dir().File("host.err")));
    ASSERT_TRUE(WaitForRecord("start", 1)) << ReadFileText(m_bus.Dir().File("host.err"));
    CJavaRun run;
    Run(run, AllThree("vc"));
    EXPECT_EQ(Results(run), (std::vector<std::string>(3, kOk)));
    EXPECT_EQ(Recorded("start")[0][1], "");
    EXPECT_EQ(RecordedCalls().size(), 3u);
}

TEST_F(BridgeTest, TextArrivesAsUtf8AndWhatABusStringCannotHoldIsNotSent)
{
    ActivatableHost();
    CJavaRun run;
    Run(run, {"forte", "tab", "Gr\\u00fc\\u00dfe",                      // BMP text
              "forte", "java", "\\ud834\\udd1e", "\\u20ac", "m",     // a surrogate pair, a three-byte character
              "forte", "tab", "a\\ud800b",                               // lone high surrogate
              "forte", "java", "p", "\\udc00", "m",                      // lone low surrogate
              "forte", "tab", "a\\u0000b",                               // NUL
              "forte", "tab", "<null>",                                  // null strings
              "forte", "java", "p", "c", "<null>",
              "forte", "tab", "Local"});
    EXPECT_EQ(Results(run), (std::vector<std::string>(8, kOk)));
    EXPECT_EQ(RecordedCalls(), (std::vector<Fields>{{"ShowTab", "Gr\xc3\xbc\xc3\x9f" "e"},
                                                    {"ShowJavaItem", "\xf0\x9d\x84\x9e", "\xe2\x82\xac", "m"},
                                                    {"ShowTab", "Local"}}));
}

TEST_F(BridgeTest, MissingHostLeavesEveryCallSilent)
{
    CJavaRun run;
    Run(run, AllPlugins());
    ASSERT_EQ(Results(run), (std::vector<std::string>(9, kOk)));
    for (const CJavaRun::CCall& call : run.Calls())
        EXPECT_LT(call.ms, 5000);
    EXPECT_EQ(run.Err(), "");
}

TEST_F(BridgeTest, FailuresGoToStandardErrorWithCorvaneDebug)
{
    CJavaRun run;
    Run(run, AllThree("forte"), {"CORVANE_DEBUG=1"});
    EXPECT_EQ(Results(run), (std::vector<std::string>(3, kOk)));
    for (const char* operation : {"launchExternal", "openDialogWindow", "openJavaTab"})
        EXPECT_NE(run.Err().find(std::string(operation) + ": org.freedesktop.DBus.Error.ServiceUnknown"),
                  std::string::npos)
            << run.Err();
}

TEST_F(BridgeTest, HostThatCannotStartLeavesEveryCallSilent)
{
    m_bus.AddHostService(m_bus.Dir().File("no-such-program") + " -Embedding");
    CJavaRun run;
    Run(run, AllThree("vc"), {"CORVANE_DEBUG=1"});
    EXPECT_EQ(Results(run), (std::vector<std::string>(3, kOk)));
    EXPECT_NE(run.Err().find("launchExternal: org.freedesktop.DBus.Error.Spawn"), std::string::npos) << run.Err();
}

TEST_F(BridgeTest, HostThatDiesBeforeAnsweringLeavesEveryCallSilent)
{
    ActivatableHost("exit");
    CJavaRun run;
    Run(run, AllThree("forte"), {"CORVANE_DEBUG=1"});
    EXPECT_EQ(Results(run), (std::vector<std::string>(3, kOk)));
    for (const CJavaRun::CCall& call : run.Calls())
        EXPECT_LT(call.ms, 5000);
    // Each call found the host gone and had the bus start it anew.
    EXPECT_EQ(Recorded("start").size(), 3u);
    EXPECT_EQ(RecordedCalls().size(), 3u);
    EXPECT_NE(run.Err().find("openJavaTab: org.freedesktop.DBus.Error.NoReply"), std::string::npos) << run.Err();
}

TEST_F(BridgeTest, NoSessionBusLeavesEveryCallSilent)
{
    CJavaRun run;
    Run(run, AllThree("jbuilder"), {}, "unix:path=" + m_bus.Dir().File("no-bus"));
    EXPECT_EQ(Results(run), (std::vector<std::string>(3, kOk)));
    EXPECT_EQ(run.Err(), "");
}

TEST_F(BridgeTest, ReconnectsWhenTheBusComesBack)
{
    ActivatableHost();
    std::string go = m_bus.Dir().File("go");
    CJavaRun run;
    // The address without the bus's guid, as a systemd user session gives it: the
    // restarted bus has a new guid.
    std::string address = "unix:path=" + m_bus.Dir().File("bus");
    ASSERT_TRUE(run.Start(address, {"forte", "launch", "await", go, "forte", "tab", "Local"}, {"CORVANE_DEBUG=1"}));
    ASSERT_TRUE(WaitForRecord("call", 1));
    m_bus.Stop();
    std::string error = m_bus.Start();
    ASSERT_TRUE(error.empty()) << error;
    WriteFileText(go, "");
    ASSERT_TRUE(run.Finish());
    EXPECT_EQ(run.ExitCode(), 0) << run.Err();
    EXPECT_EQ(Results(run), (std::vector<std::string>(2, kOk)));
    EXPECT_EQ(Recorded("start").size(), 2u);
    EXPECT_EQ(RecordedCalls(), (std::vector<Fields>{{"Launch"}, {"ShowTab", "Local"}})) << run.Err();
}

// A host that takes the calls and never answers holds the IDE only for the call timeout.
TEST_F(BridgeTest, SilentHostCallsTimeOut)
{
    ActivatableHost("silent");
    std::vector<std::string> steps = {"--parallel"};
    std::vector<std::string> three = AllThree("vc");
    steps.insert(steps.end(), three.begin(), three.end());
    CJavaRun run;
    Run(run, steps);
    ASSERT_EQ(Results(run), (std::vector<std::string>(3, kOk)));
    for (const CJavaRun::CCall& call : run.Calls()) {
        EXPECT_GE(call.ms, 24000);
        EXPECT_LT(call.ms, 40000);
    }
    EXPECT_EQ(RecordedCalls().size(), 3u);
}
