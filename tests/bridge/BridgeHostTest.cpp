// libKeshBridg.so in a real JVM against the real host: a session bus of the test's own whose
// activation file starts tarnel with " -Embedding", an X server of the test's own, the real
// control registered in a private registry and vantrel-server over a small site.
#include <chrono>
#include <filesystem>
#include <memory>

#include <signal.h>

#include <QCoreApplication>

#include <gtest/gtest.h>

#include "JavaRun.h"
#include "support/ChildProcess.h"
#include "support/PrivateBus.h"
#include "support/QtTestSupport.h"
#include "support/TestDisplay.h"
#include "support/TestSite.h"
#include "support/TestSupport.h"

namespace
{
using namespace std::chrono_literals;

const std::string kCaption = "Corvane Component Manager ";

// A third technology with java.util.Vector, for the search the IDE asks for.
const CTestTechnology kJdk = {.name = "jdk", .display = "JDK Test", .module = "java.base", .package = "java.util",
                              .className = "Vector", .typeParameters = "E", .constructor = true,
                              .methods = {{"size", "int"}}};

class BridgeHostTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_display.Start(), "");

        m_site.AddTechnology(kJdk);
        m_server = std::make_unique<CRunningServer>(m_site.Root());
        m_registry.UseServers("127.0.0.1:" + std::to_string(m_server->HttpPort()), m_server->LookupPort());
        m_registry.Set("Path", m_install.Path());
        // The CLASSPATH has been scanned before: the Local tab opens without asking.
        WriteFileText(m_registry.DataDir() + "/Local/components.xml",
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<components/>\n");

        // The control registers itself, as the install step has it do.
        CChildProcess regsvr;
        ASSERT_TRUE(regsvr.Start({REGSVR_PROGRAM, "/s", CONTROL_LIBRARY},
                                 CEnvironment().Set("ASAN_OPTIONS", "detect_leaks=0")));
        ASSERT_EQ(regsvr.Wait(60s), 0);

        // The bus hands this environment to the program it starts. Qt WebEngine in the
        // sanitized control: see TarnelTest.
        CEnvironment environment;
        environment.Set("DISPLAY", m_display.Name())
            .Set("QT_QPA_PLATFORM", "xcb")
            .Set("XDG_DATA_HOME", m_bus.DataHome())
            .Set("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu")
            .Append("ASAN_OPTIONS", "new_delete_type_mismatch=0:detect_leaks=0");
        m_bus.AddHostService(TARNEL_PROGRAM " -Embedding");
        ASSERT_EQ(m_bus.Start(environment), "");
    }

    void TearDown() override
    {
        // A host that did not end is not left behind.
        if (m_hostPid > 0 && !ProcessEnded(m_hostPid)) {
            ::kill(static_cast<pid_t>(m_hostPid), SIGTERM);
            WaitFor([this] { return ProcessEnded(m_hostPid); }, 10s);
        }
    }

    // The process that owns Vantrel.Application, 0 when none. The probe only asks the bus.
    std::int64_t NameOwner()
    {
        std::int64_t pid = HostOnBus(m_bus, "probe");
        QDBusConnection::disconnectFromBus("probe");
        return pid;
    }

    size_t Requests(const std::string& part) const { return m_server->Requests(part); }
    bool WaitForRequest(const std::string& part, std::chrono::milliseconds timeout = 60s) const
    {
        return WaitFor([&] { return Requests(part) > 0; }, timeout);
    }

    std::string Go(int step) const { return m_dir.File("go" + std::to_string(step)); }

    CTestRegistry m_registry;
    CTempDir m_dir;
    CTempDir m_install;
    CTestSite m_site;
    std::unique_ptr<CRunningServer> m_server;
    std::int64_t m_hostPid = 0;
    CTestDisplay m_display;
    CPrivateBus m_bus;
};
}  // namespace

TEST_F(BridgeHostTest, TheIdeStartsTheHostDrivesItAndItEndsWithTheIde)
{
    ASSERT_EQ(NameOwner(), 0);
    CJavaRun run;
    // The driver waits at each "await" until the test has looked and covered the window.
    ASSERT_TRUE(run.Start(m_bus.Address(),
                          {"forte", "launch", "await", Go(1), "jbuilder", "tab", "NoSuchTab", "await", Go(2), "vc",
                           "tab", "Local", "await", Go(3), "forte", "java", "java.util", "Vector", "", "await", Go(4)}));

    // launchExternal: the bus starts tarnel -Embedding and its main window comes up on the
    // Java tab's home page.
    std::int64_t pid = 0;
    ASSERT_TRUE(WaitFor([&] { return (pid = NameOwner()) != 0; }, 60s)) << "no host on the bus";
    m_hostPid = pid;
    EXPECT_EQ(std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe").string(), std::string(TARNEL_PROGRAM));
    EXPECT_NE(ReadFileText("/proc/" + std::to_string(pid) + "/cmdline").find(std::string("-Embedding")),
              std::string::npos);
    CTestDisplay::Window window = m_display.WaitForWindow(pid, 60s, 640, 320);
    ASSERT_NE(window, 0u) << "the host's window is not shown";
    ASSERT_TRUE(WaitForRequest("/vantrel/javatab/home.jsp"));
    EXPECT_TRUE(m_display.WaitForTitle(window, kCaption + "Home"));

    // A name that is no tab only raises the window.
    CTestDisplay::Window cover = m_display.CoverAll();
    ASSERT_TRUE(m_display.IsAbove(cover, window));
    WriteFileText(Go(1), "");
    EXPECT_TRUE(m_display.WaitUntilAbove(window, cover));
    EXPECT_EQ(m_display.InputFocus(), window);
    Pump(1s);
    EXPECT_EQ(Requests("/vantrel/localtab/"), 0u);
    EXPECT_EQ(m_display.Title(window), kCaption + "Home");

    // "Local" switches to the Local tab, whose first activation shows its home page.
    cover = m_display.CoverAll();
    ASSERT_TRUE(m_display.IsAbove(cover, window));
    WriteFileText(Go(2), "");
    EXPECT_TRUE(WaitForRequest("/vantrel/localtab/home.jsp", 30s));
    EXPECT_TRUE(m_display.WaitUntilAbove(window, cover));
    EXPECT_EQ(m_display.InputFocus(), window);

    // openJavaTab: back on the Java tab with the class found and selected.
    cover = m_display.CoverAll();
    ASSERT_TRUE(m_display.IsAbove(cover, window));
    WriteFileText(Go(3), "");
    EXPECT_TRUE(WaitForRequest("packagename=java.util&classname=Vector", 30s));
    const std::string found = kCaption + "Search Results/java.util.Vector";
    EXPECT_TRUE(WaitFor([&] { return m_display.Title(window).rfind(found, 0) == 0; }, 30s))
        << m_display.Title(window);
    EXPECT_TRUE(m_display.WaitUntilAbove(window, cover));

    // Every call returned normally; when the JVM ends, the host started for it ends too.
    WriteFileText(Go(4), "");
    ASSERT_TRUE(run.Finish()) << "the JVM did not end";
    EXPECT_EQ(run.ExitCode(), 0) << run.Out() << run.Err();
    ASSERT_EQ(run.Calls().size(), 4u) << run.Out();
    for (const CJavaRun::CCall& call : run.Calls())
        EXPECT_EQ(call.result, "ok");
    EXPECT_TRUE(WaitFor([pid] { return ProcessEnded(pid); }, 30s)) << "the host outlived its only client";
    EXPECT_EQ(NameOwner(), 0);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
