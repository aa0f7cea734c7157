#include "VantrelApp.h"

#include <filesystem>
#include <map>
#include <mutex>

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include "HeadlessModalRunner.h"
#include "HostTestSupport.h"
#include "HttpClient.h"
#include "PendingRenames.h"
#include "Registry.h"
#include "SelfUpdate.h"
#include "SessionBus.h"
#include "Settings.h"
#include "VantrelDlg.h"
#include "support/RecordingHttpServer.h"
#include "support/TestSupport.h"

namespace
{
// Stands where xdg-open does: records the addresses the program opens.
class CUrlRecorder : public QObject
{
    Q_OBJECT
public:
    std::vector<std::string> opened;
public Q_SLOTS:
    void Open(const QUrl& url) { opened.push_back(url.toString().toStdString()); }
};

const char* const kQuestion =
    "Corvane Component Manager has been updated. Do you wish to download updated components now?";
const char* const kOldStamp = "Mon, 01 Jun 2026 10:00:00 GMT";

// The start-up sequence in this process: the vendor's servers on loopback, a bus of the
// test's own, a registry file and an installation folder of its own, scripted message boxes.
class VantrelAppFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.Server().Get("/Vantrel/ui/clientid.jsp", [this](const httplib::Request&, httplib::Response& res) {
            std::lock_guard lock(m_mutex);
            res.status = m_clientIdStatus;
            res.set_content("4711\n", "text/plain");
        });
        m_server.Server().Get(R"(/public/([^/]+))", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(m_mutex);
            auto it = m_stamps.find(req.matches[1]);
            if (it == m_stamps.end()) {
                res.status = 404;
                return;
            }
            res.set_header("Last-Modified", it->second);
            res.set_content("new " + it->first, "application/octet-stream");
        });
        m_server.Start();
        std::string host = "127.0.0.1:" + std::to_string(m_server.Port());
        m_registry.Set("ComponentUrl", host);
        m_registry.Set("DistributionServer", host);
        m_registry.Set("ComponentWebServer", "http://" + host);
        m_registry.Set("Path", m_install.Path());
        for (const char* name : CSelfUpdate::kUpdateFiles) {
            m_stamps[name] = kOldStamp;
            WriteFileText(m_install.File(name), std::string("installed ") + name);
            WriteFileText(CHttpClient::TimeStampFileName(m_install.File(name) + "_new"), kOldStamp);
        }
        setenv("XDG_DATA_HOME", m_bus.DataHome().c_str(), 1);
        ASSERT_EQ(m_bus.Start(QProcessEnvironment::systemEnvironment()), "");
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_urls, "Open");
    }
    void TearDown() override
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        m_app.reset();
        for (const QString& name : {QStringLiteral("host"), QStringLiteral("other")})
            CSessionBus::Disconnect(name);
    }

    CVantrelApp& App(const std::string& commandLine)
    {
        m_app = std::make_unique<CVantrelApp>(commandLine, m_prompt, m_runner, m_bus.Connect(QStringLiteral("host")));
        return *m_app;
    }

    void Change(const std::string& name)
    {
        std::lock_guard lock(m_mutex);
        m_stamps[name] = "Tue, 02 Jun 2026 10:00:00 GMT";
    }

    bool NameOwned()
    {
        return m_bus.Connect(QStringLiteral("other")).interface()->isServiceRegistered(QStringLiteral("Vantrel.Application"));
    }
    static std::string LocalServer()
    {
        return RegReadString(HKEY_CLASSES_ROOT, "CLSID\\{5DB69F54-1073-11D4-A233-0060B0EE16F3}\\LocalServer32", "",
                             "<none>");
    }
    std::vector<std::string> Shown() const
    {
        std::vector<std::string> texts;
        for (const auto& shown : m_prompt.Shown())
            texts.push_back(shown.text);
        return texts;
    }

    CTestRegistry m_registry;
    CTempDir m_install;
    CSessionBus m_bus;
    CRecordingHttpServer m_server;
    CHeadlessModalRunner m_runner{std::chrono::seconds(30)};
    CScriptedPrompt m_prompt;
    CUrlRecorder m_urls;
    std::mutex m_mutex;
    std::map<std::string, std::string> m_stamps;
    int m_clientIdStatus = 200;
    std::unique_ptr<CVantrelApp> m_app;
};
}  // namespace

TEST_F(VantrelAppFixture, AMissingXmlParserEndsTheStartWithTheMessageAndThePage)
{
    CVantrelApp& app = App("");
    app.SetXmlParserLibrary(std::string(FAKE_XML_LIBRARY_DIR) + "/libxml2.so.2");
    app.InitInstance();
    EXPECT_FALSE(app.GetContinue());
    ASSERT_EQ(m_prompt.Shown().size(), 1u);
    EXPECT_EQ(m_prompt.Shown()[0].text,
              "A required component is missing on this system. Please click OK to get further instructions.");
    EXPECT_EQ(m_prompt.Shown()[0].caption, "Corvane Component Manager");
    EXPECT_EQ(m_prompt.Shown()[0].type, MB_OK);
    EXPECT_EQ(m_urls.opened,
              std::vector<std::string>{"http://127.0.0.1:" + std::to_string(m_server.Port()) + "/kesh/msxml3missing.jsp"});
    // Nothing else happened.
    EXPECT_EQ(m_server.RequestLine(), "");
    EXPECT_EQ(LocalServer(), "<none>");
    EXPECT_FALSE(NameOwned());
}

TEST_F(VantrelAppFixture, StartSwitchesDecideWhoControlsTheProgram)
{
    struct
    {
        const char* commandLine;
        bool standAlone;
        const char* rest;
    } const cases[] = {
        {"", true, ""},
        {"-Embedding", false, ""},
        {"/Automation", false, ""},
        {"-embedding", true, "-embedding"},
        {"/register", true, "/register"},
    };
    for (const auto& c : cases) {
        CVantrelApp& app = App(c.commandLine);
        app.TestStartSwitches();
        EXPECT_EQ(app.IsStandAlone(), c.standAlone) << c.commandLine;
        EXPECT_EQ(app.IsUserControl(), c.standAlone) << c.commandLine;
        EXPECT_EQ(app.GetCommandLine(), c.rest) << c.commandLine;
        EXPECT_TRUE(app.GetContinue());
    }
}

TEST_F(VantrelAppFixture, ARunningInstanceEndsEveryStandAloneStart)
{
    QDBusConnection other = m_bus.Connect(QStringLiteral("other"));
    ASSERT_TRUE(other.registerService(QStringLiteral("Vantrel.Application")));
    for (const char* commandLine : {"", "-embedding", "/register", "-Embedding"}) {
        CVantrelApp& app = App(commandLine);
        app.TestStartSwitches();
        app.KeepSingleInstance();
        app.HandleRegisterSwitch();
        app.RegisterAndUpdate();
        // Only a start by the bus gets past it.
        EXPECT_EQ(app.GetContinue(), std::string(commandLine) == "-Embedding") << commandLine;
    }
    EXPECT_EQ(LocalServer(), "<none>");
    EXPECT_EQ(m_server.RequestLine(), "GET /Vantrel/ui/clientid.jsp, HEAD /public/changes.txt");
}

TEST_F(VantrelAppFixture, OnlyTheExactRegisterSwitchRegisters)
{
    for (const char* commandLine : {"/Register", "/register ", " /register", "-register"}) {
        CVantrelApp& app = App(commandLine);
        app.TestStartSwitches();
        app.KeepSingleInstance();
        app.HandleRegisterSwitch();
        EXPECT_TRUE(app.GetContinue()) << commandLine;
    }
    EXPECT_EQ(LocalServer(), "<none>");
    EXPECT_FALSE(std::filesystem::exists(m_bus.ServiceFile()));

    CVantrelApp& app = App("/register");
    app.InitInstance();
    EXPECT_FALSE(app.GetContinue());
    EXPECT_EQ(LocalServer(), CVantrelApp::ProgramPath());
    EXPECT_EQ(ReadFileText(m_bus.ServiceFile()),
              "[D-BUS Service]\nName=Vantrel.Application\nExec=" + CVantrelApp::ProgramPath() + " -Embedding\n");
    EXPECT_EQ(m_server.RequestLine(), "");
    EXPECT_FALSE(NameOwned());
}

TEST_F(VantrelAppFixture, OfflineModeOneAsksNoServer)
{
    for (const char* mode : {"1", "yes", "0", ""}) {
        m_registry.Set("OfflineMode", mode);
        size_t before = m_server.Requests().size();
        CVantrelApp& app = App("");
        app.RegisterAndUpdate();
        EXPECT_TRUE(app.GetContinue());
        EXPECT_EQ(m_server.Requests().size() - before, std::string(mode) == "1" ? 0u : 2u) << mode;
    }
}

TEST_F(VantrelAppFixture, FirstStartRegistersAndAnUnchangedInstallationAsksNothing)
{
    CVantrelApp& app = App("");
    app.RegisterAndUpdate();
    EXPECT_TRUE(app.GetContinue());
    auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(m_server.RequestLine(), "GET /Vantrel/ui/clientid.jsp, HEAD /public/changes.txt");
    EXPECT_EQ(GetClientKey(), "4711");
    EXPECT_TRUE(m_prompt.Shown().empty());
}

TEST_F(VantrelAppFixture, AReplacedProgramEndsTheStartWithTheRestartMessage)
{
    Change("changes.txt");
    Change("tarnel");
    m_prompt.Answer(IDYES);
    CVantrelApp& app = App("");
    app.TestStartSwitches();
    app.RegisterAndUpdate();
    app.PublishAutomation();
    EXPECT_FALSE(app.GetContinue());
    EXPECT_EQ(Shown(), (std::vector<std::string>{kQuestion, "Please restart Corvane Component Manager after it exits."}));
    EXPECT_EQ(m_prompt.Shown()[1].caption, "Corvane Component Manager");
    EXPECT_EQ(m_prompt.Shown()[1].type, MB_OK);
    EXPECT_EQ(CPendingRenames::ForInstallation(m_install.Path()).Entries().size(), 1u);
    EXPECT_FALSE(NameOwned());
}

TEST_F(VantrelAppFixture, AReplacedControlNeedsNoRestart)
{
    Change("changes.txt");
    Change("libtarnelctrl.so");
    m_prompt.Answer(IDYES);
    CVantrelApp& app = App("");
    app.RegisterAndUpdate();
    EXPECT_TRUE(app.GetContinue());
    EXPECT_EQ(Shown(), std::vector<std::string>{kQuestion});
    EXPECT_EQ(ReadFileText(m_install.File("libtarnelctrl.so")), "new libtarnelctrl.so");
}

TEST_F(VantrelAppFixture, AFailedRegistrationOnlySkipsTheUpdate)
{
    m_clientIdStatus = 500;
    Change("changes.txt");
    CVantrelApp& app = App("");
    app.RegisterAndUpdate();
    EXPECT_TRUE(app.GetContinue());
    EXPECT_EQ(m_server.RequestLine(), "GET /Vantrel/ui/clientid.jsp");
    EXPECT_TRUE(m_prompt.Shown().empty());
    EXPECT_EQ(GetClientKey(), "0");
}

TEST_F(VantrelAppFixture, PublishingTakesTheNameAndRewritesTheEntries)
{
    {
        CVantrelApp& app = App("-Embedding");
        app.TestStartSwitches();
        app.PublishAutomation();
        EXPECT_TRUE(NameOwned());
        // The switch was cut at the first test, so a start by the bus rewrites them too.
        EXPECT_EQ(LocalServer(), CVantrelApp::ProgramPath());
        app.ExitInstance();
        EXPECT_FALSE(NameOwned());
    }
    RegDeleteKey(HKEY_CLASSES_ROOT, "CLSID\\{5DB69F54-1073-11D4-A233-0060B0EE16F3}");
    CVantrelApp& app = App("-Automation -Embedding");
    app.TestStartSwitches();
    app.PublishAutomation();
    EXPECT_TRUE(NameOwned());
    EXPECT_EQ(LocalServer(), "<none>");  // the second test still found a switch
}

TEST_F(VantrelAppFixture, TheWholeStartEndsWithTheMainWindow)
{
    m_registry.Set("OfflineMode", "1");
    RegisterControlLibrary(TEST_CONTROL_LIBRARY);
    CVantrelApp& app = App("");
    std::string caption;
    bool owned = false;
    // Polled on a timer, so that the control's own posted activation has been handled.
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        CVantrelDlg* window = app.GetMainWindow();
        if (!window || window->windowTitle().toStdString() == "Corvane Component Manager")
            return;
        caption = window->windowTitle().toStdString();
        owned = NameOwned();
        window->close();
    });
    poll.start();
    app.InitInstance();
    EXPECT_EQ(caption, "Corvane Component Manager Java/Home");
    EXPECT_TRUE(owned);
    EXPECT_FALSE(NameOwned());
    EXPECT_EQ(app.GetMainWindow(), nullptr);
    EXPECT_EQ(LocalServer(), CVantrelApp::ProgramPath());
}

TEST_F(VantrelAppFixture, WithoutTheControlTheStartEndsSilently)
{
    m_registry.Set("OfflineMode", "1");
    bool shown = false;
    QObject scope;
    QTimer::singleShot(0, &scope, [&] { shown = QApplication::activeModalWidget() != nullptr; });
    App("").InitInstance();
    ProcessEventsFor(std::chrono::milliseconds(20));
    EXPECT_FALSE(shown);
    EXPECT_TRUE(m_prompt.Shown().empty());
}

#include "VantrelAppTest.moc"
