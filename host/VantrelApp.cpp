#include "VantrelApp.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QUrl>
#include <QVariantMap>

#include "AutomationRegistration.h"
#include "AutomationServer.h"
#include "CommandLine.h"
#include "NoServerNotice.h"
#include "SelfUpdate.h"
#include "Settings.h"
#include "UserPrompt.h"
#include "VantrelDlg.h"
#include "VendorServers.h"
#include "XmlParserProbe.h"

namespace
{
// A running instance busy in a long synchronous operation does not hold up this one for long.
constexpr int kActivateTimeoutMs = 5000;
}  // namespace

CVantrelApp::CVantrelApp(std::string commandLine, IUserPrompt& prompt, IModalRunner& runner, QDBusConnection bus)
    : m_commandLine(std::move(commandLine))
    , m_prompt(prompt)
    , m_runner(runner)
    , m_bus(std::move(bus))
    , m_xmlParserLibrary(kXmlParserLibrary)
{
}

CVantrelApp::~CVantrelApp()
{
    ExitInstance();
}

void CVantrelApp::InitInstance()
{
    m_continue = CheckXmlParser();
    TestStartSwitches();
    KeepSingleInstance();
    HandleRegisterSwitch();
    RegisterAndUpdate();
    PublishAutomation();
    RunMainDialog();
    ExitInstance();
}

bool CVantrelApp::CheckXmlParser()
{
    if (ProbeXmlParser(m_xmlParserLibrary))
        return true;
    m_prompt.MessageBox(kXmlParserMissingMessage, kAppTitle, MB_OK);
    QDesktopServices::openUrl(QUrl(QString::fromStdString(ComponentWebServerUrl() + kXmlParserMissingPage)));
    return false;
}

void CVantrelApp::TestStartSwitches()
{
    if (!m_continue)
        return;
    m_standAlone = IsStandAloneStart(m_commandLine);
    if (!m_standAlone)
        m_userControl = false;
}

void CVantrelApp::KeepSingleInstance()
{
    if (!m_continue || !m_standAlone || !m_bus.isConnected())
        return;
    QDBusConnectionInterface* bus = m_bus.interface();
    if (!bus || !bus->isServiceRegistered(QString::fromUtf8(CAutomationRegistration::kBusName)).value())
        return;
    // The running instance's window, not an automation object: nothing is counted there.
    QDBusMessage activate = QDBusMessage::createMethodCall(
        QString::fromUtf8(CAutomationRegistration::kBusName), QString::fromUtf8(CAutomationRegistration::kObjectPath),
        QStringLiteral("org.freedesktop.Application"), QStringLiteral("Activate"));
    activate << QVariantMap();
    activate.setAutoStartService(false);
    m_bus.call(activate, QDBus::Block, kActivateTimeoutMs);
    m_continue = false;
}

void CVantrelApp::HandleRegisterSwitch()
{
    if (!m_continue || !m_standAlone || m_commandLine != "/register")
        return;
    CAutomationRegistration::Write(ProgramPath());
    m_continue = false;
}

void CVantrelApp::RegisterAndUpdate()
{
    if (!m_continue)
        return;
    bool restart = false;
    if (!IsOfflineMode()) {
        CSelfUpdate update(m_runner, m_prompt);
        if (update.RegisterClient())
            update.UpdateComponents(restart);
        else if (const std::string notice = CNoServerNotice::Check(m_systemdDir); !notice.empty())
            m_prompt.MessageBox(notice, kAppTitle, MB_OK);
    }
    if (restart) {
        m_prompt.MessageBox(kRestartMessage, kAppTitle, MB_OK);
        m_continue = false;
    }
}

void CVantrelApp::PublishAutomation()
{
    if (!m_continue)
        return;
    // In every mode, so that clients reach an instance the user started.
    m_server = std::make_unique<CAutomationServer>(*this);
    if (m_bus.isConnected())
        m_server->Publish(m_bus);
    if (IsStandAloneStart(m_commandLine))
        CAutomationRegistration::Write(ProgramPath());
}

void CVantrelApp::RunMainDialog()
{
    if (!m_continue)
        return;
    CVantrelDlg dialog;
    m_mainWindow = &dialog;
    dialog.DoModal();
    m_mainWindow = nullptr;
}

void CVantrelApp::ExitInstance()
{
    if (m_server)
        m_server->Withdraw();
    m_server.reset();
}

void CVantrelApp::LockApp()
{
    ++m_objectCount;
}

void CVantrelApp::UnlockApp()
{
    if (--m_objectCount > 0 || m_userControl)
        return;
    m_userControl = true;
    if (m_mainWindow && m_mainWindow->IsInputEnabled())
        m_mainWindow->done(QDialog::Rejected);
}

std::string CVantrelApp::ProgramPath()
{
    return QCoreApplication::applicationFilePath().toStdString();
}
