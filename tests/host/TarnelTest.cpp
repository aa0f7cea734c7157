// The real program, started as the user, the bus and the install step start it: on an X
// server and a session bus of the test's own, against loopback servers.
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

#include <QDBusMessage>

#include <gtest/gtest.h>

#include "HostTestSupport.h"
#include "PendingRenames.h"
#include "Registry.h"
#include "SelfUpdate.h"
#include "Settings.h"
#include "UserPrompt.h"
#include "VersionBlock.h"
#include "support/ChildProcess.h"
#include "support/HeadlessModalRunner.h"
#include "support/PrivateBus.h"
#include "support/QtTestSupport.h"
#include "support/RecordingHttpServer.h"
#include "support/TestDisplay.h"
#include "support/TestSite.h"
#include "support/TestSupport.h"

namespace
{
using namespace std::chrono_literals;

const char* const kClassKey = "CLSID\\{5DB69F54-1073-11D4-A233-0060B0EE16F3}";

class TarnelFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_display.Start(), "");
        m_server.Server().Get("/Vantrel/ui/clientid.jsp", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(m_mutex);
            m_clientIdTargets.push_back(req.target);
            res.set_content("17\n", "text/plain");
        });
        // The distribution server: what a test published, all of one release.
        m_server.Server().Get(R"(/public/[^/]+)", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(m_mutex);
            auto it = m_published.find(req.path.substr(std::string("/public/").size()));
            if (it == m_published.end()) {
                res.status = 404;
                return;
            }
            res.set_header("Last-Modified", "Tue, 02 Jun 2026 10:00:00 GMT");
            res.set_content(it->second, "application/octet-stream");
        });
        m_server.Start();
        m_registry.UseServers("127.0.0.1:" + std::to_string(m_server.Port()));
        m_registry.Set("Path", m_install.Path());
        RegisterControlLibrary(TEST_CONTROL_LIBRARY);

        // xdg-open as Qt finds it first on the path: records what the program opens.
        std::filesystem::create_directory(m_dir.File("bin"));
        WriteFileText(m_dir.File("bin/xdg-open"), "#!/bin/sh\necho \"$@\" >> '" + m_dir.File("opened.txt") + "'\n");
        std::filesystem::permissions(m_dir.File("bin/xdg-open"), std::filesystem::perms::owner_all);

        m_environment.Set("DISPLAY", m_display.Name())
            .Set("QT_QPA_PLATFORM", "xcb")
            .Set("XDG_DATA_HOME", m_bus.DataHome())
            .Set("DBUS_SESSION_BUS_ADDRESS", m_bus.Address())
            .Set("CORVANE_TEST_CONTROL_LOG", m_dir.File("control.log"))
            .Set("PATH", m_dir.File("bin") + ":" + m_environment.Get("PATH"))
            // The test control draws no GL; Mesa's driver, unloaded at exit, would leave
            // allocations behind that no suppression can name.
            .Set("QT_XCB_GL_INTEGRATION", "none")
            .Remove("DBUS_STARTER_ADDRESS")
            .Remove("DBUS_STARTER_BUS_TYPE");
        ASSERT_EQ(m_bus.Start(m_environment), "");
    }
    void TearDown() override
    {
        QDBusConnection::disconnectFromBus("client");
        m_processes.clear();
        if (HasFailure())
            for (size_t i = 0; i < m_logs.size(); ++i)
                std::printf("--- tarnel %zu:\n%s\n", i, ReadFileText(m_logs[i]).c_str());
    }

    // The program as a child of the test, its output in a log shown when the test fails.
    CChildProcess& Launch(const QStringList& arguments, const std::optional<CEnvironment>& environment = {},
                          const std::string& program = TARNEL_PROGRAM)
    {
        m_logs.push_back(m_dir.File("tarnel" + std::to_string(m_logs.size()) + ".log"));
        m_processes.push_back(std::make_unique<CChildProcess>());
        std::vector<std::string> argv = {program};
        for (const QString& argument : arguments)
            argv.push_back(argument.toStdString());
        EXPECT_TRUE(m_processes.back()->Start(argv, environment.value_or(m_environment), m_logs.back(), m_logs.back()));
        return *m_processes.back();
    }

    // The main window of pid, not the "Downloading ..." window of its start: at least as
    // large as the main window's smallest size.
    CTestDisplay::Window WaitForMainWindow(std::int64_t pid)
    {
        return m_display.WaitForWindow(pid, 60s, 640, 320);
    }

    // Started by the user, with its window up and its name on the bus.
    CTestDisplay::Window LaunchFirst(CChildProcess*& process)
    {
        process = &Launch({});
        CTestDisplay::Window window = WaitForMainWindow(process->Pid());
        EXPECT_NE(window, 0u);
        EXPECT_TRUE(WaitFor([this] { return NameOwner() != 0; }, 30s));
        return window;
    }

    // The process that owns Vantrel.Application, 0 when none.
    std::int64_t NameOwner() { return HostOnBus(m_bus, "client"); }

    QDBusMessage Call(const QString& method, const QVariantList& arguments = {})
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall("Vantrel.Application", "/Vantrel/Application", "Vantrel.IVantrel", method);
        message.setArguments(arguments);
        return ConnectToBus(m_bus, "client").call(message, QDBus::Block, 60000);
    }

    static bool Ends(CChildProcess& process, int& exitCode, std::chrono::milliseconds timeout = 60s)
    {
        exitCode = process.Wait(timeout);
        return exitCode != -1;
    }

    std::string ControlLog() const { return ReadFileText(m_dir.File("control.log")); }
    static std::string LocalServer()
    {
        return RegReadString(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\LocalServer32", "", "<none>");
    }
    void ActivatedHostEndsWithItsClient();
    void ForgetRegistration()
    {
        RegDeleteKey(HKEY_CLASSES_ROOT, kClassKey);
        RegDeleteKey(HKEY_CLASSES_ROOT, "Vantrel.Application");
        std::filesystem::remove(m_bus.ServiceFile());
    }

    CTestRegistry m_registry;
    CTempDir m_dir;
    CTempDir m_install;
    CTestDisplay m_display;
    CPrivateBus m_bus;
    CRecordingHttpServer m_server;
    CEnvironment m_environment;
    std::vector<std::string> m_logs;
    std::vector<std::unique_ptr<CChildProcess>> m_processes;
    std::mutex m_mutex;
    std::vector<std::string> m_clientIdTargets;
    std::map<std::string, std::string> m_published;
};

// The built program with another product version patched into its version block.
std::string WithProductVersion(const std::string& program, std::uint32_t high, std::uint32_t low)
{
    std::string bytes = ReadFileText(program);
    CVersionBlock block = ReadVersionBlock(program).value_or(CVersionBlock{});
    const std::string old(reinterpret_cast<const char*>(&block), sizeof block);
    const size_t at = bytes.find(old);
    EXPECT_TRUE(block.fixed.dwSignature == kVersionSignature && at != std::string::npos &&
                bytes.find(old, at + 1) == std::string::npos);
    block.fixed.dwProductVersionMS = high;
    block.fixed.dwProductVersionLS = low;
    if (at != std::string::npos)
        bytes.replace(at, old.size(), reinterpret_cast<const char*>(&block), sizeof block);
    return bytes;
}

// The command lines of every process below pid.
std::vector<std::string> DescendantCommands(std::int64_t pid)
{
    std::map<std::int64_t, std::int64_t> parents;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::int64_t process = std::atoll(entry.path().filename().c_str());
        std::string stat = ReadFileText(entry.path().string() + "/stat");
        size_t close = stat.rfind(')');
        if (process > 0 && close != std::string::npos)
            parents[process] = std::atoll(stat.c_str() + stat.find(' ', close + 2) + 1);
    }
    std::set<std::int64_t> tree{pid};
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& [process, parent] : parents)
            grew = (tree.count(parent) && tree.insert(process).second) || grew;
    }
    std::vector<std::string> commands;
    for (std::int64_t process : tree) {
        if (process != pid)
            commands.push_back(ReadFileText("/proc/" + std::to_string(process) + "/cmdline"));
    }
    return commands;
}
}  // namespace

TEST_F(TarnelFixture, AStandAloneStartWhileOneRunsOnlyBringsThatOneForward)
{
    CChildProcess* first = nullptr;
    CTestDisplay::Window window = LaunchFirst(first);
    EXPECT_TRUE(m_display.WaitForTitle(window, "Corvane Component Manager Java/Home"));
    EXPECT_EQ(m_server.RequestLine(), "GET /Vantrel/ui/clientid.jsp, HEAD /public/changes.txt");
    EXPECT_EQ(GetClientKey(), "17");
    // A first start: client id 0 and the program's product version.
    EXPECT_EQ(m_clientIdTargets, std::vector<std::string>{"/Vantrel/ui/clientid.jsp?exeversion=1.0.0.0&clientid=0&email="});
    size_t requests = m_server.Requests().size();
    ForgetRegistration();

    // "embedding" in lower case is no switch; "/register" is not handled while one runs.
    for (const QStringList& arguments : {QStringList(), QStringList{"-embedding"}, QStringList{"/register"}}) {
        CTestDisplay::Window cover = m_display.CoverAll();
        ASSERT_TRUE(m_display.IsAbove(cover, window));
        CChildProcess& second = Launch(arguments);
        int exitCode = -1;
        ASSERT_TRUE(Ends(second, exitCode)) << arguments.join(' ').toStdString();
        EXPECT_EQ(exitCode, 0);
        EXPECT_TRUE(m_display.WaitUntilAbove(window, cover)) << arguments.join(' ').toStdString();
        EXPECT_EQ(m_display.InputFocus(), window);
    }
    EXPECT_EQ(m_server.Requests().size(), requests);
    EXPECT_EQ(LocalServer(), "<none>");
    EXPECT_FALSE(std::filesystem::exists(m_bus.ServiceFile()));
    EXPECT_TRUE(first->IsRunning());
    EXPECT_EQ(NameOwner(), first->Pid());
}

TEST_F(TarnelFixture, OnlyTheExactRegisterSwitchRegistersAndEnds)
{
    int exitCode = -1;
    ASSERT_TRUE(Ends(Launch({"/register"}), exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(m_server.RequestLine(), "");
    EXPECT_EQ(LocalServer(), TARNEL_PROGRAM);
    EXPECT_EQ(RegReadString(HKEY_CLASSES_ROOT, "Vantrel.Application\\CLSID", "", ""),
              "{5DB69F54-1073-11D4-A233-0060B0EE16F3}");
    EXPECT_EQ(ReadFileText(m_bus.ServiceFile()),
              "[D-BUS Service]\nName=Vantrel.Application\nExec=" TARNEL_PROGRAM " -Embedding\n");

    for (const char* argument : {"/Register", "/register "}) {
        ForgetRegistration();
        CChildProcess& process = Launch({argument});
        CTestDisplay::Window window = WaitForMainWindow(process.Pid());
        ASSERT_NE(window, 0u) << argument;
        // A normal start writes the entries again.
        EXPECT_EQ(LocalServer(), TARNEL_PROGRAM);
        m_display.Close(window);
        ASSERT_TRUE(Ends(process, exitCode)) << argument;
        EXPECT_EQ(exitCode, 0);
    }
}

TEST_F(TarnelFixture, AStartByTheBusSkipsTheSingleInstanceTest)
{
    CChildProcess* first = nullptr;
    LaunchFirst(first);
    ForgetRegistration();
    CChildProcess& second = Launch({"-Embedding"});
    CTestDisplay::Window window = WaitForMainWindow(second.Pid());
    ASSERT_NE(window, 0u);
    EXPECT_EQ(LocalServer(), TARNEL_PROGRAM);
    EXPECT_EQ(m_clientIdTargets.size(), 2u);  // registration and update still run
    EXPECT_EQ(NameOwner(), first->Pid());
    m_display.Close(window);
    int exitCode = -1;
    ASSERT_TRUE(Ends(second, exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(first->IsRunning());
}

TEST_F(TarnelFixture, OfflineModeOneAsksNoServer)
{
    m_registry.Set("OfflineMode", "1");
    CChildProcess& process = Launch({});
    CTestDisplay::Window window = WaitForMainWindow(process.Pid());
    ASSERT_NE(window, 0u);
    EXPECT_EQ(m_server.RequestLine(), "");
    m_display.Close(window);
    int exitCode = -1;
    ASSERT_TRUE(Ends(process, exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(m_server.RequestLine(), "");
}

TEST_F(TarnelFixture, ShowTabSwitchesAndRaisesAnUnknownNameOnlyRaises)
{
    CChildProcess* first = nullptr;
    CTestDisplay::Window window = LaunchFirst(first);
    ASSERT_TRUE(m_display.WaitForTitle(window, "Corvane Component Manager Java/Home"));

    CTestDisplay::Window cover = m_display.CoverAll();
    EXPECT_EQ(Call("ShowTab", {"Marketplace"}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(m_display.WaitForTitle(window, "Corvane Component Manager Marketplace/Home"));
    EXPECT_TRUE(m_display.WaitUntilAbove(window, cover));
    EXPECT_EQ(m_display.InputFocus(), window);

    cover = m_display.CoverAll();
    EXPECT_EQ(Call("ShowTab", {"marketplace"}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(m_display.WaitUntilAbove(window, cover));
    EXPECT_EQ(m_display.Title(window), "Corvane Component Manager Marketplace/Home");
    std::string log = ControlLog();
    EXPECT_EQ(log.substr(log.find("ShowTab marketplace")), "ShowTab marketplace\n");
}

TEST_F(TarnelFixture, ShowJavaItemAnswersAfterItsSearch)
{
    CChildProcess* first = nullptr;
    CTestDisplay::Window window = LaunchFirst(first);
    ASSERT_TRUE(m_display.WaitForTitle(window, "Corvane Component Manager Java/Home"));
    CTestDisplay::Window cover = m_display.CoverAll();
    EXPECT_EQ(Call("ShowJavaItem", {"java.util", "List", "size"}).type(), QDBusMessage::ReplyMessage);
    std::string log = ControlLog();
    const std::string call = "ShowJavaItem java.util|List|size\n";
    ASSERT_NE(log.find(call), std::string::npos);
    EXPECT_EQ(log.substr(log.find(call)), call + "current Java/Home\nsearch finished\n");
    EXPECT_TRUE(m_display.WaitUntilAbove(window, cover));
}

TEST_F(TarnelFixture, TheBusStartsTheProgramForAClientThatEndsItByLeaving)
{
    // Once as a desktop session starts it, once told only the starter's address.
    for (bool tellAddress : {true, false}) {
        SCOPED_TRACE(tellAddress ? "session address" : "starter address");
        QDBusConnection::disconnectFromBus("client");
        m_bus.Stop();
        ASSERT_EQ(m_bus.Start(m_environment, tellAddress), "");
        ActivatedHostEndsWithItsClient();
    }
}

void TarnelFixture::ActivatedHostEndsWithItsClient()
{
    int exitCode = -1;
    ASSERT_TRUE(Ends(Launch({"/register"}), exitCode));
    ASSERT_EQ(NameOwner(), 0);
    // Nobody runs it: the call starts it.
    QDBusMessage reply = Call("Launch");
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    std::int64_t pid = NameOwner();
    ASSERT_NE(pid, 0);
    EXPECT_NE(WaitForMainWindow(pid), 0u);
    EXPECT_NE(ReadFileText("/proc/" + std::to_string(pid) + "/cmdline").find("-Embedding"), std::string::npos);

    QDBusConnection::disconnectFromBus("client");
    EXPECT_TRUE(WaitFor([pid] { return ProcessEnded(pid); }, 30s));
    EXPECT_EQ(NameOwner(), 0);
}

TEST_F(TarnelFixture, AUserStartedProgramStaysWhenItsClientLeaves)
{
    CChildProcess* first = nullptr;
    LaunchFirst(first);
    EXPECT_EQ(Call("Launch").type(), QDBusMessage::ReplyMessage);
    QDBusConnection::disconnectFromBus("client");
    Pump(1s);
    EXPECT_TRUE(first->IsRunning());
    EXPECT_EQ(NameOwner(), first->Pid());
}

TEST_F(TarnelFixture, AMissingXmlParserIsReportedBeforeAnotherInstanceIsLookedFor)
{
    CChildProcess* first = nullptr;
    LaunchFirst(first);
    size_t requests = m_server.Requests().size();
    CEnvironment environment = m_environment;
    environment.Set("LD_LIBRARY_PATH", FAKE_XML_LIBRARY_DIR);
    CChildProcess& second = Launch({}, environment);
    CTestDisplay::Window box = m_display.WaitForWindow(second.Pid());  // the message box
    ASSERT_NE(box, 0u);
    EXPECT_EQ(m_display.Title(box), "Corvane Component Manager");
    m_display.Close(box);
    int exitCode = -1;
    ASSERT_TRUE(Ends(second, exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(WaitFor([this] { return !ReadFileText(m_dir.File("opened.txt")).empty(); }, 10s));
    EXPECT_EQ(ReadFileText(m_dir.File("opened.txt")),
              "http://127.0.0.1:" + std::to_string(m_server.Port()) + "/kesh/msxml3missing.jsp\n");
    EXPECT_EQ(m_server.Requests().size(), requests);
}

TEST_F(TarnelFixture, ScheduledReplacementsGoInBeforeTheControlIsLoaded)
{
    m_registry.Set("OfflineMode", "1");
    const std::string control = m_install.File("libtarnelctrl.so");
    WriteFileText(control, "the old, broken control");
    std::filesystem::copy_file(TEST_CONTROL_LIBRARY, control + "_new");
    RegisterControlLibrary(control);
    ASSERT_TRUE(CPendingRenames::ForInstallation(m_install.Path()).Schedule(control + "_new", control));

    CChildProcess& process = Launch({});
    CTestDisplay::Window window = WaitForMainWindow(process.Pid());
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(CPendingRenames::ForInstallation(m_install.Path()).Entries().empty());
    EXPECT_FALSE(std::filesystem::exists(control + "_new"));
    m_display.Close(window);
    int exitCode = -1;
    EXPECT_TRUE(Ends(process, exitCode));
}

TEST_F(TarnelFixture, AStartThatReplacesTheProgramGoesOnInTheNewOne)
{
    m_registry.Set("OfflineMode", "1");
    const std::string program = m_install.File("tarnel");
    std::filesystem::copy_file(TARNEL_PROGRAM, program);
    // The new program only tells how it was started.
    WriteFileText(program + "_new", "#!/bin/sh\nprintf '%s\\n' \"$@\" \"$CORVANE_PROBE\" > '" +
                                        m_dir.File("started.txt") + "'\n");
    std::filesystem::permissions(program + "_new", std::filesystem::perms::owner_all);
    ASSERT_TRUE(CPendingRenames::ForInstallation(m_install.Path()).Schedule(program + "_new", program));

    CEnvironment environment = m_environment;
    environment.Set("CORVANE_PROBE", "same environment");
    int exitCode = -1;
    ASSERT_TRUE(Ends(Launch({"first", "two words"}, environment, program), exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(ReadFileText(m_dir.File("started.txt")), "first\ntwo words\nsame environment\n");
    EXPECT_TRUE(CPendingRenames::ForInstallation(m_install.Path()).Entries().empty());

    // A new program that cannot start ends the start, with a message, and stays in place.
    std::filesystem::copy_file(TARNEL_PROGRAM, program, std::filesystem::copy_options::overwrite_existing);
    WriteFileText(program + "_new", "not a program");
    ASSERT_TRUE(CPendingRenames::ForInstallation(m_install.Path()).Schedule(program + "_new", program));
    ASSERT_TRUE(Ends(Launch({}, {}, program), exitCode));
    EXPECT_EQ(exitCode, 1);
    EXPECT_NE(ReadFileText(m_logs.back()).find("cannot start the updated program " + program), std::string::npos);
    EXPECT_EQ(ReadFileText(program), "not a program");
}

TEST_F(TarnelFixture, AnUpdatedProgramStartsAndReportsItsVersion)
{
    const std::string program = m_install.File("tarnel");
    std::filesystem::copy_file(TARNEL_PROGRAM, program);
    m_published = {{"changes.txt", "release 2"},
                   {"tarnel", WithProductVersion(TARNEL_PROGRAM, 0x00020003, 0x00040005)}};
    // The update as a start of the installed program runs it, the user saying Yes.
    CHeadlessModalRunner runner{60s};
    CScriptedPrompt prompt;
    prompt.Answer(IDYES);
    bool restart = false;
    CSelfUpdate(runner, prompt).UpdateComponents(restart);
    ASSERT_TRUE(restart);

    // The next start puts the new program in place and goes on in it.
    CChildProcess& process = Launch({}, {}, program);
    CTestDisplay::Window window = WaitForMainWindow(process.Pid());
    ASSERT_NE(window, 0u);
    EXPECT_EQ(std::filesystem::read_symlink("/proc/" + std::to_string(process.Pid()) + "/exe"), program);
    EXPECT_EQ(m_clientIdTargets, std::vector<std::string>{"/Vantrel/ui/clientid.jsp?exeversion=2.3.4.5&clientid=0&email="});
    m_display.Close(window);
    int exitCode = -1;
    ASSERT_TRUE(Ends(process, exitCode));
    EXPECT_EQ(exitCode, 0);
}

// The window the user closed comes back where and as it was; one that would come back
// beyond every screen goes where a new one would, keeping its size.
TEST_F(TarnelFixture, TheWindowComesBackWhereTheUserLeftIt)
{
    m_registry.Set("OfflineMode", "1");
    using Rect = CTestDisplay::Rect;
    // Runs the program until its window shows, lets the script act on it and closes it.
    auto run = [this](const std::function<void(CTestDisplay::Window)>& script) {
        CChildProcess& process = Launch({});
        CTestDisplay::Window window = WaitForMainWindow(process.Pid());
        ASSERT_NE(window, 0u);
        script(window);
        m_display.Close(window);
        int exitCode = -1;
        ASSERT_TRUE(Ends(process, exitCode));
        EXPECT_EQ(exitCode, 0);
    };
    const Rect placed{150, 90, 900, 620};
    run([&](CTestDisplay::Window window) {
        m_display.Configure(window, placed);
        ASSERT_TRUE(m_display.WaitForGeometry(window, placed));
    });
    run([&](CTestDisplay::Window window) {
        EXPECT_EQ(m_display.Geometry(window), placed);
        EXPECT_FALSE(m_display.IsMaximized(window));
        m_display.Maximize(window);
        ASSERT_TRUE(m_display.WaitForGeometry(window, {0, 0, 1280, 1024}));
        Pump(200ms);
    });
    // Maximised again, over the place it goes back to.
    run([&](CTestDisplay::Window window) {
        EXPECT_TRUE(m_display.IsMaximized(window));
        EXPECT_EQ(m_display.Geometry(window), placed);
    });

    const struct
    {
        Rect kept;
        bool onScreen;
    } cases[] = {
        {{1200, 500, 700, 400}, true},  // 80 pixels of its top edge still on the screen
        {{1240, 500, 700, 400}, false},
        {{4000, 3000, 700, 400}, false},
        {{-1500, 200, 700, 400}, false},
        {{300, -600, 700, 400}, false},
    };
    for (const auto& [kept, onScreen] : cases) {
        SCOPED_TRACE(std::to_string(kept.x) + "," + std::to_string(kept.y));
        ASSERT_TRUE(SetWindowPlacement({kept.x, kept.y, kept.width, kept.height, false}));
        run([&](CTestDisplay::Window window) {
            const Rect shown = m_display.Geometry(window);
            EXPECT_EQ(std::pair(shown.width, shown.height), std::pair(kept.width, kept.height));
            if (onScreen) {
                EXPECT_EQ(shown, kept);
            } else {
                EXPECT_TRUE(shown.x >= 0 && shown.y >= 0 && shown.x + shown.width <= 1280 &&
                            shown.y + shown.height <= 1024);
            }
        });
    }
}

TEST_F(TarnelFixture, WithoutItsControlTheProgramEndsSilently)
{
    m_registry.Set("OfflineMode", "1");
    RegisterControlLibrary(m_install.File("libtarnelctrl.so"));
    int exitCode = -1;
    ASSERT_TRUE(Ends(Launch({}), exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(ControlLog(), "");
}

namespace
{
// The same program with the real control library, against vantrel-server over a small site.
class RealControlFixture : public TarnelFixture
{
protected:
    void SetUp() override
    {
        TarnelFixture::SetUp();
        m_reference = std::make_unique<CRunningServer>(m_site.Root());
        m_registry.UseServers("127.0.0.1:" + std::to_string(m_reference->HttpPort()), m_reference->LookupPort());
        RegisterControlLibrary(REAL_CONTROL_LIBRARY);
        // Qt WebEngine mixes new and delete of different sizes inside its own library, and the
        // plug-ins it brings in leave allocations behind whose libraries are unloaded by the
        // exit, where no suppression can name them. The tests with the test control keep
        // checking the program's own leaks.
        m_environment.Append("ASAN_OPTIONS", "new_delete_type_mismatch=0:detect_leaks=0")
            .Set("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu")
            .Remove("QT_XCB_GL_INTEGRATION");
    }

    size_t Requests(const std::string& part) const { return m_reference->Requests(part); }
    bool WaitForRequest(const std::string& part, std::chrono::milliseconds timeout = 60s) const
    {
        return WaitFor([&] { return Requests(part) > 0; }, timeout);
    }

    CTestSite m_site;
    std::unique_ptr<CRunningServer> m_reference;
};
}  // namespace

TEST_F(RealControlFixture, ShowTabSwitchesTheControlsTabAndRaisesTheWindow)
{
    CChildProcess* first = nullptr;
    CTestDisplay::Window window = LaunchFirst(first);
    // It opens on the Java tab, whose first activation shows its home page.
    ASSERT_TRUE(WaitForRequest("/vantrel/javatab/home.jsp"));
    EXPECT_TRUE(m_display.WaitForTitle(window, "Corvane Component Manager Home"));

    CTestDisplay::Window cover = m_display.CoverAll();
    EXPECT_EQ(Call("ShowTab", {"marketplace"}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(m_display.WaitUntilAbove(window, cover));
    Pump(1s);
    EXPECT_EQ(Requests("/vantrel/markettab/"), 0u);

    cover = m_display.CoverAll();
    EXPECT_EQ(Call("ShowTab", {"Marketplace"}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(m_display.WaitUntilAbove(window, cover));
    EXPECT_EQ(m_display.InputFocus(), window);
    // The Marketplace page's first activation: its index, then its home page.
    EXPECT_TRUE(WaitForRequest("/vantrel/markettab/home.jsp"));
    EXPECT_EQ(Requests("/vantrel/markettab/indexfile.jsp"), 1u);
    // The pages showing their sites share one renderer process.
    std::vector<std::string> commands = DescendantCommands(first->Pid());
    EXPECT_EQ(std::count_if(commands.begin(), commands.end(),
                            [](const std::string& command) { return command.find("--type=renderer") != std::string::npos; }),
              1);

    // The close box ends the program, the control going before its library's objects.
    m_display.Close(window);
    int exitCode = -1;
    ASSERT_TRUE(Ends(*first, exitCode));
    EXPECT_EQ(exitCode, 0);
}

// The tab shown last opens first, and its splitter stands where the user dragged it: the
// bar is found there and dragged on.
TEST_F(RealControlFixture, TheTabAndItsSplitterComeBackAsTheUserLeftThem)
{
    const std::string splitter = "MarketplaceSplitter";
    auto kept = [&] { return RegReadString(HKEY_LOCAL_MACHINE, kUserKey, splitter, ""); };
    auto close = [this](CChildProcess& process, CTestDisplay::Window window) {
        m_display.Close(window);
        int exitCode = -1;
        ASSERT_TRUE(Ends(process, exitCode));
        EXPECT_EQ(exitCode, 0);
    };
    // Grabs the bar kept in the settings halfway down the window and drags it by dx.
    auto drag = [&](CTestDisplay::Window window, int dx) {
        const int bar = std::stoi(kept());
        const CTestDisplay::Rect shown = m_display.Geometry(window);
        // The page lies 2 pixels in from the window's left edge; the bar is 6 pixels wide.
        const int x = shown.x + 2 + bar + 3;
        m_display.Drag(x, shown.y + shown.height / 2, x + dx, shown.y + shown.height / 2);
    };

    CChildProcess* process = nullptr;
    CTestDisplay::Window window = LaunchFirst(process);
    ASSERT_TRUE(WaitForRequest("/vantrel/javatab/home.jsp"));
    EXPECT_EQ(Call("ShowTab", {"Marketplace"}).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(WaitForRequest("/vantrel/markettab/home.jsp"));
    close(*process, window);
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kUserKey, "LastTab", ""), "Marketplace");
    const int start = std::stoi(kept());

    // The next start opens on the Marketplace: its page again, and nothing of the Java tab.
    for (int dx : {150, -50}) {
        process = &Launch({});
        window = WaitForMainWindow(process->Pid());
        ASSERT_NE(window, 0u);
        const size_t shown = Requests("/vantrel/markettab/home.jsp");
        EXPECT_TRUE(WaitFor([&] { return Requests("/vantrel/markettab/home.jsp") > shown; }, 30s));
        EXPECT_EQ(Requests("/vantrel/javatab/home.jsp"), 1u);
        drag(window, dx);
        close(*process, window);
    }
    EXPECT_EQ(kept(), std::to_string(start + 100));
}

TEST_F(RealControlFixture, ShowJavaItemAnswersAfterTheSearch)
{
    CChildProcess* first = nullptr;
    CTestDisplay::Window window = LaunchFirst(first);
    ASSERT_TRUE(WaitForRequest("/vantrel/javatab/home.jsp"));
    CTestDisplay::Window cover = m_display.CoverAll();
    EXPECT_EQ(Call("ShowJavaItem", {"org.sample", "Widget", "resize"}).type(), QDBusMessage::ReplyMessage);
    // By the answer the search has asked the server and its result is selected.
    EXPECT_TRUE(WaitForRequest("packagename=org.sample&classname=Widget&methodname=resize", 5s));
    const std::string found = "Corvane Component Manager Search Results/org.sample.Widget";
    EXPECT_TRUE(WaitFor([&] { return m_display.Title(window).rfind(found, 0) == 0; }, 5s))
        << m_display.Title(window);
    EXPECT_TRUE(m_display.WaitUntilAbove(window, cover));
}
