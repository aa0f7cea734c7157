// The start-up steps that the program's own tests (TarnelTest) cannot single out.
#include "VantrelApp.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QUrl>

#include <gtest/gtest.h>

#include "Registry.h"
#include "Settings.h"
#include "support/HeadlessModalRunner.h"
#include "support/PrivateBus.h"
#include "support/QtTestSupport.h"
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

// A loopback port that nothing listens on: bound, read and let go.
int ClosedPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// The start-up sequence in this process: the client-id service on loopback, a bus of the
// test's own, a registry file of its own, scripted message boxes.
class VantrelAppFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.Server().Get("/Vantrel/ui/clientid.jsp", [](const httplib::Request&, httplib::Response& res) {
            res.status = 500;
        });
        m_server.Start();
        std::string host = "127.0.0.1:" + std::to_string(m_server.Port());
        m_registry.Set("ComponentUrl", host);
        m_registry.Set("DistributionServer", host);
        m_registry.Set("Path", m_install.Path());
        ASSERT_EQ(m_bus.Start(), "");
    }
    void TearDown() override
    {
        m_app.reset();
        for (const QString& name : {QStringLiteral("host"), QStringLiteral("other")})
            QDBusConnection::disconnectFromBus(name);
    }

    CVantrelApp& App(const std::string& commandLine)
    {
        m_app = std::make_unique<CVantrelApp>(commandLine, m_prompt, m_runner, ConnectToBus(m_bus, QStringLiteral("host")));
        return *m_app;
    }
    bool NameOwned()
    {
        return ConnectToBus(m_bus, QStringLiteral("other")).interface()->isServiceRegistered(QStringLiteral("Vantrel.Application"));
    }
    static std::string LocalServer()
    {
        return RegReadString(HKEY_CLASSES_ROOT, "CLSID\\{5DB69F54-1073-11D4-A233-0060B0EE16F3}\\LocalServer32", "",
                             "<none>");
    }

    CTestRegistry m_registry;
    CTempDir m_install;
    CPrivateBus m_bus;
    CScopedEnvironment m_dataHome{"XDG_DATA_HOME", m_bus.DataHome()};
    CRecordingHttpServer m_server;
    CHeadlessModalRunner m_runner{std::chrono::seconds(30)};
    CScriptedPrompt m_prompt;
    std::unique_ptr<CVantrelApp> m_app;
};
}  // namespace

TEST_F(VantrelAppFixture, AMissingXmlParserShowsTheMessageAndThePage)
{
    m_registry.Set("ComponentWebServer", "http://parser.example:8380");
    CUrlRecorder urls;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &urls, "Open");
    CVantrelApp& app = App("");
    app.SetXmlParserLibrary("/nonexistent/libxml2.so.2");
    EXPECT_FALSE(app.CheckXmlParser());
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    ASSERT_EQ(m_prompt.Shown().size(), 1u);
    EXPECT_EQ(m_prompt.Shown()[0].text,
              "A required component is missing on this system. Please click OK to get further instructions.");
    EXPECT_EQ(m_prompt.Shown()[0].caption, "Corvane Component Manager");
    EXPECT_EQ(m_prompt.Shown()[0].type, MB_OK);
    EXPECT_EQ(urls.opened, std::vector<std::string>{"http://parser.example:8380/kesh/msxml3missing.jsp"});

    // The installed parser passes without a word.
    EXPECT_TRUE(App("").CheckXmlParser());
    EXPECT_EQ(m_prompt.Shown().size(), 1u);
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

TEST_F(VantrelAppFixture, AFailedRegistrationOnlySkipsTheUpdate)
{
    SetClientKey("99");
    CVantrelApp& app = App("");
    app.RegisterAndUpdate();
    EXPECT_TRUE(app.GetContinue());
    EXPECT_EQ(m_server.RequestLine(), "GET /Vantrel/ui/clientid.jsp");
    EXPECT_TRUE(m_prompt.Shown().empty());
    EXPECT_EQ(GetClientKey(), "99");
}

// Only a first start that finds nothing listening at the server on this machine says so,
// and how to start one: with systemd its service, elsewhere the two commands.
TEST_F(VantrelAppFixture, AFirstStartWithNoServerSaysHowToStartOne)
{
    CTempDir systemd;
    const std::string closed = "127.0.0.1:" + std::to_string(ClosedPort());
    const std::string listening = "127.0.0.1:" + std::to_string(m_server.Port());
    struct
    {
        const char* key;
        std::string componentUrl;
        bool systemdRuns;
        const char* advice;  // nullptr: no notice
    } const cases[] = {
        {"0", closed, false, "    build-site ~/.cache/corvane/site\n    vantrel-server --site ~/.cache/corvane/site &\n"},
        {"0", closed, true, "    sudo systemctl start vantrel-server\n"},
        {"0", listening, false, nullptr},      // it answers, if only with an error
        {"17", closed, false, nullptr},        // a server registered this program before
        {"0", "server.invalid", false, nullptr},  // another machine's server is not ours to start
    };
    for (const auto& c : cases) {
        SetClientKey(c.key);
        m_registry.Set("ComponentUrl", c.componentUrl);
        m_registry.Set("ComponentWebServer", "http://" + c.componentUrl);
        const size_t before = m_prompt.Shown().size();
        CVantrelApp& app = App("");
        app.SetSystemdDirectory(c.systemdRuns ? systemd.Path() : systemd.Path() + "/none");
        app.RegisterAndUpdate();
        EXPECT_TRUE(app.GetContinue()) << c.componentUrl;
        if (!c.advice) {
            EXPECT_EQ(m_prompt.Shown().size(), before) << c.key << " " << c.componentUrl;
            continue;
        }
        ASSERT_EQ(m_prompt.Shown().size(), before + 1) << c.componentUrl;
        const std::string& text = m_prompt.Shown().back().text;
        EXPECT_EQ(text.rfind("No Corvane server answers at http://" + c.componentUrl + ", so the", 0), 0u) << text;
        EXPECT_NE(text.find(c.advice), std::string::npos) << text;
        EXPECT_EQ(text.find(c.systemdRuns ? "build-site" : "systemctl"), std::string::npos) << text;
        EXPECT_EQ(m_prompt.Shown().back().type, MB_OK);
    }
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

TEST_F(VantrelAppFixture, WithoutASessionBusThereIsNoSingleInstanceButAStart)
{
    CVantrelApp app("", m_prompt, m_runner, QDBusConnection(QStringLiteral("no bus")));
    app.TestStartSwitches();
    app.KeepSingleInstance();
    app.PublishAutomation();
    EXPECT_TRUE(app.GetContinue());
    EXPECT_NE(app.GetAutomationServer(), nullptr);
    EXPECT_EQ(LocalServer(), CVantrelApp::ProgramPath());
    EXPECT_FALSE(NameOwned());
}

#include "VantrelAppTest.moc"
