// libKeshBridg.so in a real JVM against the real host: a session bus of the test's own whose
// activation file starts tarnel with " -Embedding", an X server of the test's own, the real
// control registered in a private registry and vantrel-server over a small site.
#include <chrono>
#include <filesystem>
#include <memory>

#include <signal.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "HostTestSupport.h"
#include "JavaRun.h"
#include "SessionBus.h"
#include "TestDisplay.h"
#include "TestSite.h"
#include "support/TestSupport.h"

namespace
{
using namespace std::chrono_literals;

const std::string kCaption = "Corvane Component Manager ";

// A third technology with java.util.Vector, for the search the IDE asks for.
const char* const kJdkTechnology =
    R"xml(  <technology name="jdk" display="JDK Test" docroot="" module="java.base" classes="1">
    <package name="java.util" classes="1"/>
  </technology>
)xml";

const char* const kJdkPackage = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<package name="java.util" technology="jdk">
  <class kind="class" name="Vector">
    <className>Vector</className><packageName>java.util</packageName><modifiers>public</modifiers><typeParameters>E</typeParameters>
    <superclass>java.lang.Object</superclass><ancestor>java.lang.Object</ancestor>
    <constructor><methodName>Vector</methodName><signature>()</signature><modifiers>public</modifiers><typeParameters/><returnType>void</returnType><parameters/></constructor>
    <method><methodName>size</methodName><signature>()</signature><modifiers>public</modifiers><typeParameters/><returnType>int</returnType><parameters/></method>
  </class>
</package>
)xml";

const char* const kJdkIndex = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<index technology="jdk">
  <packages>
    <package name="java.util" key="java.util"/>
  </packages>
  <classes>
    <class name="Vector" package="java.util" key="vector" qkey="java.util.vector" kind="class">
      <extends key="object" qkey="java.lang.object"/>
    </class>
  </classes>
  <methods>
    <methodname name="size" key="size">
      <method class="Vector" package="java.util" kind="class" signature="()"/>
    </methodname>
  </methods>
</index>
)xml";

// Gone, or a zombie its parent (the bus) has not reaped yet.
bool ProcessEnded(std::int64_t pid)
{
    std::string stat = ReadFileText("/proc/" + std::to_string(pid) + "/stat");
    size_t close = stat.rfind(')');
    return stat.empty() || (close != std::string::npos && stat.compare(close + 1, 3, " Z ") == 0);
}

class BridgeHostTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_display.Start(), "");

        std::string index = ReadFileText(m_site.Path("public/data/java/index.xml"));
        size_t end = index.find("</javatab>");
        ASSERT_NE(end, std::string::npos);
        m_site.Write("public/data/java/index.xml", index.insert(end, kJdkTechnology));
        m_site.Write("stores/vantrel/java/data/jdk/java.util.xml", kJdkPackage);
        m_site.Write("stores/vantrel/java/data/jdk/index.bnd", kJdkIndex);
        m_server = std::make_unique<CRunningServer>(m_site.Root());

        const std::string host = "127.0.0.1:" + std::to_string(m_server->HttpPort());
        for (const char* name : {"ComponentWebServer", "MarketplaceUrl"})
            m_registry.Set(name, "http://" + host);
        for (const char* name : {"ComponentUrl", "DistributionServer", "MarketplaceWebServer"})
            m_registry.Set(name, host);
        m_registry.Set("ComponentDatabase", "127.0.0.1:" + std::to_string(m_server->LookupPort()));
        m_registry.Set("Path", m_install.Path());
        // The CLASSPATH has been scanned before: the Local tab opens without asking.
        WriteFileText(m_registry.DataDir() + "/Local/components.xml",
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<components/>\n");

        // The control registers itself, as the install step has it do.
        CChildProcess regsvr;
        ASSERT_TRUE(regsvr.Start({REGSVR_PROGRAM, "/s", CONTROL_LIBRARY},
                                 CChildProcess::Environment({"ASAN_OPTIONS"}, {"ASAN_OPTIONS=detect_leaks=0"}), "", ""));
        ASSERT_EQ(regsvr.Wait(60s), 0);

        // The bus hands this environment to the program it starts. Qt WebEngine in the
        // sanitized control: see TarnelTest.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", QString::fromStdString(m_display.Name()));
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert("XDG_DATA_HOME", QString::fromStdString(m_bus.DataHome()));
        environment.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
        QString asan = environment.value("ASAN_OPTIONS");
        environment.insert("ASAN_OPTIONS", (asan.isEmpty() ? "" : asan + ":") + "new_delete_type_mismatch=0:detect_leaks=0");
        environment.remove("DBUS_STARTER_ADDRESS");
        environment.remove("DBUS_STARTER_BUS_TYPE");
        WriteFileText(m_bus.ServiceFile(),
                      "[D-BUS Service]\nName=Vantrel.Application\nExec=" TARNEL_PROGRAM " -Embedding\n");
        ASSERT_EQ(m_bus.Start(environment), "");
    }

    void TearDown() override
    {
        CSessionBus::Disconnect("probe");
        // A host that did not end is not left behind.
        if (m_hostPid > 0 && !ProcessEnded(m_hostPid)) {
            ::kill(static_cast<pid_t>(m_hostPid), SIGTERM);
            ProcessEventsUntil([this] { return ProcessEnded(m_hostPid); }, 10s);
        }
    }

    // The process that owns Vantrel.Application, 0 when none. The probe only asks the bus.
    std::int64_t NameOwner()
    {
        QDBusConnectionInterface* bus = m_bus.Connect("probe").interface();
        std::int64_t pid = bus->isServiceRegistered("Vantrel.Application") ? bus->servicePid("Vantrel.Application").value() : 0;
        CSessionBus::Disconnect("probe");
        return pid;
    }

    // How many requests the server answered whose target holds part.
    size_t Requests(const std::string& part) const
    {
        std::string log = ReadFileText(m_server->AccessLog());
        size_t count = 0;
        for (size_t at = log.find(part); at != std::string::npos; at = log.find(part, at + 1))
            ++count;
        return count;
    }
    bool WaitForRequest(const std::string& part, std::chrono::milliseconds timeout = 60s) const
    {
        return ProcessEventsUntil([&] { return Requests(part) > 0; }, timeout);
    }

    std::string Go(int step) const { return m_dir.File("go" + std::to_string(step)); }

    CTestRegistry m_registry;
    CTempDir m_dir;
    CTempDir m_install;
    CTestSite m_site;
    std::unique_ptr<CRunningServer> m_server;
    std::int64_t m_hostPid = 0;
    CTestDisplay m_display;
    CSessionBus m_bus;
};
}  // namespace

TEST_F(BridgeHostTest, TheIdeStartsTheHostDrivesItAndItEndsWithTheIde)
{
    ASSERT_EQ(NameOwner(), 0);
    CJavaRun run;
    // The driver waits at each "await" until the test has looked and covered the window.
    ASSERT_TRUE(run.Start(m_bus.Address().toStdString(),
                          {"forte", "launch", "await", Go(1), "jbuilder", "tab", "NoSuchTab", "await", Go(2), "vc",
                           "tab", "Local", "await", Go(3), "forte", "java", "java.util", "Vector", "", "await", Go(4)}));

    // launchExternal: the bus starts tarnel -Embedding and its main window comes up on the
    // Java tab's home page.
    std::int64_t pid = 0;
    ASSERT_TRUE(ProcessEventsUntil([&] { return (pid = NameOwner()) != 0; }, 60s)) << "no host on the bus";
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
    ProcessEventsFor(1s);
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
    EXPECT_TRUE(ProcessEventsUntil([&] { return m_display.Title(window).rfind(found, 0) == 0; }, 30s))
        << m_display.Title(window);
    EXPECT_TRUE(m_display.WaitUntilAbove(window, cover));

    // Every call returned normally; when the JVM ends, the host started for it ends too.
    WriteFileText(Go(4), "");
    ASSERT_TRUE(run.Finish()) << "the JVM did not end";
    EXPECT_EQ(run.ExitCode(), 0) << run.Out() << run.Err();
    ASSERT_EQ(run.Calls().size(), 4u) << run.Out();
    for (const CJavaRun::CCall& call : run.Calls())
        EXPECT_EQ(call.result, "ok");
    EXPECT_TRUE(ProcessEventsUntil([pid] { return ProcessEnded(pid); }, 30s)) << "the host outlived its only client";
    EXPECT_EQ(NameOwner(), 0);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
