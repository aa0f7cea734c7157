#include "AutomationServer.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QTimer>

#include <gtest/gtest.h>

#include "AboutDlg.h"
#include "HostTestSupport.h"
#include "VantrelApp.h"
#include "VantrelDlg.h"
#include "support/HeadlessModalRunner.h"
#include "support/PrivateBus.h"
#include "support/QtTestSupport.h"
#include "support/TestSupport.h"

namespace
{
// The host's automation object on a bus of the test's own, reached by clients that are
// connections of the test; the host's main window is real and runs offscreen.
class AutomationServerFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterControlLibrary(TEST_CONTROL_LIBRARY);
        ASSERT_EQ(m_bus.Start(), "");
    }
    void TearDown() override
    {
        for (const QString& client : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")})
            QDBusConnection::disconnectFromBus(client);
        m_app.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("host"));
    }

    // A host started as commandLine says, its main window created and published.
    void StartHost(const std::string& commandLine)
    {
        m_app = std::make_unique<CVantrelApp>(commandLine, m_prompt, m_runner, ConnectToBus(m_bus, QStringLiteral("host")));
        m_app->TestStartSwitches();
        ASSERT_TRUE(m_dialog.OnInitDialog());
        m_app->SetMainWindow(&m_dialog);
        m_app->PublishAutomation();
        ASSERT_TRUE(WaitFor([this] { return NameOwned(); }));
    }

    bool NameOwned() const
    {
        return ConnectToBus(m_bus, QStringLiteral("c")).interface()->isServiceRegistered(QStringLiteral("Vantrel.Application"));
    }

    QDBusPendingCall Call(const QString& client, const QString& method, const QVariantList& arguments = {},
                          const QString& interface = QStringLiteral("Vantrel.IVantrel"))
    {
        QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("Vantrel.Application"),
                                                              QStringLiteral("/Vantrel/Application"), interface, method);
        message.setArguments(arguments);
        return ConnectToBus(m_bus, client).asyncCall(message, 30000);
    }

    // The client and the host run on this thread: the host answers while this waits.
    static bool Succeeds(QDBusPendingCall call)
    {
        WaitFor([&] { return call.isFinished(); });
        return call.isFinished() && !call.isError();
    }

    int Objects() const { return m_app->GetObjectCount(); }
    int Clients() const { return m_app->GetAutomationServer()->GetClientCount(); }
    std::string ControlLog() const { return ReadFileText(m_dir.File("control.log")); }

    // Runs the main window modally; script runs in it. False when the run had to be ended
    // by the test because nothing else ended it within wait.
    bool RunsUntilClosed(const std::function<void()>& script,
                         std::chrono::milliseconds wait = std::chrono::seconds(10))
    {
        bool endedByTest = false;
        QTimer::singleShot(0, &m_dialog, [&] {
            script();
            if (WaitFor([&] { return !m_dialog.isVisible(); }, wait))
                return;
            endedByTest = true;
            m_dialog.reject();
        });
        m_dialog.exec();
        return !endedByTest;
    }

    CTestRegistry m_registry;
    CTempDir m_dir;
    CPrivateBus m_bus;
    CScopedEnvironment m_environment{{{"XDG_DATA_HOME", m_bus.DataHome()},
                                      {"CORVANE_TEST_CONTROL_LOG", m_dir.File("control.log")}}};
    CScriptedPrompt m_prompt;
    CHeadlessModalRunner m_runner;
    CVantrelDlg m_dialog;
    std::unique_ptr<CVantrelApp> m_app;
};
}  // namespace

TEST_F(AutomationServerFixture, EachClientHoldsAnObjectUntilItLeaves)
{
    StartHost("");
    EXPECT_TRUE(Succeeds(Call("a", "Launch")));
    EXPECT_TRUE(Succeeds(Call("b", "ShowTab", {QStringLiteral("Testing")})));
    EXPECT_TRUE(Succeeds(Call("a", "ShowTab", {QStringLiteral("Local")})));
    EXPECT_EQ(Clients(), 2);
    EXPECT_EQ(Objects(), 2);
    // Bringing the window forward for another start of the program makes no object.
    EXPECT_TRUE(Succeeds(Call("c", "Activate", {QVariantMap()}, QStringLiteral("org.freedesktop.Application"))));
    EXPECT_EQ(Objects(), 2);
    EXPECT_TRUE(m_dialog.isVisible());

    QDBusConnection::disconnectFromBus(QStringLiteral("a"));
    EXPECT_TRUE(WaitFor([this] { return Objects() == 1; }));
    QDBusConnection::disconnectFromBus(QStringLiteral("b"));
    EXPECT_TRUE(WaitFor([this] { return Objects() == 0; }));
    EXPECT_EQ(Clients(), 0);
    // Started by the user: it stays.
    Pump(std::chrono::milliseconds(100));
    EXPECT_TRUE(m_dialog.isVisible());
    EXPECT_TRUE(m_app->IsUserControl());
}

TEST_F(AutomationServerFixture, RequestsReachTheControlUnchanged)
{
    StartHost("");
    EXPECT_TRUE(Succeeds(Call("a", "ShowTab", {QStringLiteral("marketplace")})));
    EXPECT_TRUE(Succeeds(Call("a", "ShowTab", {QStringLiteral(" Marketplace")})));
    EXPECT_TRUE(Succeeds(Call("a", "ShowTab", {QStringLiteral("Marketplace")})));
    EXPECT_EQ(m_dialog.windowTitle().toStdString(), "Corvane Component Manager Marketplace/Home");
    QDBusPendingCall search = Call("a", "ShowJavaItem", {QString(), QStringLiteral("Str\u00e4ng"), QString()});
    WaitFor([&] { return search.isFinished(); });
    // The answer comes after the search, never before.
    std::string atReply = ControlLog();
    EXPECT_FALSE(search.isError());
    EXPECT_EQ(atReply, "created\ncurrent Java/Home\nShowTab marketplace\nShowTab  Marketplace\nShowTab Marketplace\n"
                       "current Marketplace/Home\nShowJavaItem |Str\u00e4ng|\ncurrent Java/Home\nsearch finished\n");
    // A call of the wrong shape reaches nothing.
    EXPECT_FALSE(Succeeds(Call("a", "ShowTab", {42})));
    EXPECT_FALSE(Succeeds(Call("a", "Close")));
    EXPECT_EQ(ControlLog(), atReply);
}

TEST_F(AutomationServerFixture, ABusStartedHostEndsWithItsLastClient)
{
    StartHost("-Embedding");
    EXPECT_FALSE(m_app->IsUserControl());
    bool openWithOneLeft = false;
    EXPECT_TRUE(RunsUntilClosed([&] {
        EXPECT_TRUE(Succeeds(Call("a", "Launch")));
        EXPECT_TRUE(Succeeds(Call("b", "ShowTab", {QStringLiteral("Local")})));
        QDBusConnection::disconnectFromBus(QStringLiteral("a"));
        WaitFor([this] { return Objects() == 1; });
        openWithOneLeft = m_dialog.isVisible();
        QDBusConnection::disconnectFromBus(QStringLiteral("b"));
    }));
    EXPECT_TRUE(openWithOneLeft);
    EXPECT_EQ(Objects(), 0);
}

TEST_F(AutomationServerFixture, AClientThatLeavesAtOnceStillLetsGo)
{
    StartHost("-Embedding");
    EXPECT_TRUE(RunsUntilClosed([&] {
        // Sent, and gone before the host has read it.
        Call("a", "Launch");
        QDBusConnection::disconnectFromBus(QStringLiteral("a"));
    }));
    EXPECT_EQ(Objects(), 0);
}

TEST_F(AutomationServerFixture, ANestedDialogKeepsABusStartedHostOpen)
{
    StartHost("-Embedding");
    bool openAfterRelease = false;
    EXPECT_FALSE(RunsUntilClosed([&] {
        EXPECT_TRUE(Succeeds(Call("a", "Launch")));
        QTimer::singleShot(0, &m_dialog, [&] {
            WaitFor([] { return dynamic_cast<CAboutDlg*>(QApplication::activeModalWidget()) != nullptr; });
            QDBusConnection::disconnectFromBus(QStringLiteral("a"));
            WaitFor([this] { return Objects() == 0; });
            if (auto* about = dynamic_cast<CAboutDlg*>(QApplication::activeModalWidget()))
                about->accept();
        });
        m_dialog.OnAbout();
        openAfterRelease = m_dialog.isVisible();
        // From now on it is the user's: later clients do not close it either.
        EXPECT_TRUE(Succeeds(Call("b", "Launch")));
        QDBusConnection::disconnectFromBus(QStringLiteral("b"));
        WaitFor([this] { return Objects() == 0; });
    }, std::chrono::seconds(1)));
    EXPECT_TRUE(openAfterRelease);
    EXPECT_TRUE(m_app->IsUserControl());
}
