#pragma once

#include <string>

#include <QDBusConnection>
#include <QProcess>
#include <QString>

#include "support/TestSupport.h"

// A session bus of the test's own: a dbus-daemon listening in a temporary directory that
// activates the services found in DataHome()/dbus-1/services, where the host's "/register"
// writes when XDG_DATA_HOME is DataHome(). Activated services inherit its environment.
class CSessionBus
{
public:
    CSessionBus();
    ~CSessionBus();
    CSessionBus(const CSessionBus&) = delete;
    CSessionBus& operator=(const CSessionBus&) = delete;

    // Empty when the daemon runs; otherwise why not. Without tellAddress the services it
    // starts learn its address only as the starter's (DBUS_STARTER_ADDRESS).
    std::string Start(QProcessEnvironment environment, bool tellAddress = true);
    void Stop();

    // Known before Start, so that the environment handed to Start can name it.
    const QString& Address() const { return m_address; }
    const std::string& DataHome() const { return m_dataHome; }
    std::string ServiceFile() const { return m_dataHome + "/dbus-1/services/Vantrel.Application.service"; }

    // A connection of the test's own, by name; Disconnect leaves the bus.
    QDBusConnection Connect(const QString& name) const;
    static void Disconnect(const QString& name);

private:
    CTempDir m_dir;
    std::string m_dataHome;
    QString m_address;
    QProcess m_daemon;
};
