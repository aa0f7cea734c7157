#include "SessionBus.h"

#include <chrono>
#include <filesystem>


CSessionBus::CSessionBus()
{
    m_dataHome = m_dir.File("data");
    std::filesystem::create_directories(m_dataHome + "/dbus-1/services");
    m_address = QStringLiteral("unix:path=") + QString::fromStdString(m_dir.File("bus"));
    WriteFileText(m_dir.File("bus.conf"),
                  "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                  " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                  "<busconfig>\n"
                  "  <type>session</type>\n"
                  "  <listen>unix:path=" + m_dir.File("bus") + "</listen>\n"
                  "  <auth>EXTERNAL</auth>\n"
                  "  <servicedir>" + m_dataHome + "/dbus-1/services</servicedir>\n"
                  "  <policy context=\"default\">\n"
                  "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                  "    <allow eavesdrop=\"true\"/>\n"
                  "    <allow own=\"*\"/>\n"
                  "  </policy>\n"
                  "</busconfig>\n");
}

CSessionBus::~CSessionBus()
{
    Stop();
}

std::string CSessionBus::Start(QProcessEnvironment environment, bool tellAddress)
{
    if (tellAddress)
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    else
        environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    m_daemon.setProcessEnvironment(environment);
    m_daemon.setStandardErrorFile(QString::fromStdString(m_dir.File("daemon.log")));
    m_daemon.start(QStringLiteral(DBUS_DAEMON),
                   {QStringLiteral("--nofork"), QStringLiteral("--config-file=") + QString::fromStdString(m_dir.File("bus.conf")),
                    QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(10000))
        return "cannot run " DBUS_DAEMON;
    // The address is printed once the daemon listens.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!m_daemon.canReadLine() && std::chrono::steady_clock::now() < deadline)
        m_daemon.waitForReadyRead(100);
    if (!m_daemon.canReadLine())
        return "dbus-daemon did not start: " + ReadFileText(m_dir.File("daemon.log"));
    return {};
}

void CSessionBus::Stop()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000)) {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
}

QDBusConnection CSessionBus::Connect(const QString& name) const
{
    return QDBusConnection::connectToBus(m_address, name);
}

void CSessionBus::Disconnect(const QString& name)
{
    QDBusConnection::disconnectFromBus(name);
}
