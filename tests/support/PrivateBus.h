#pragma once

#include <string>

#include "ChildProcess.h"
#include "TestSupport.h"

// A session bus of the test's own: a dbus-daemon listening in a temporary directory that
// activates the services found in DataHome()/dbus-1/services, where the host's "/register"
// writes when XDG_DATA_HOME is DataHome(). Activated services inherit its environment.
class CPrivateBus
{
public:
    CPrivateBus();
    ~CPrivateBus();
    CPrivateBus(const CPrivateBus&) = delete;
    CPrivateBus& operator=(const CPrivateBus&) = delete;

    // Starts the daemon, again at the same address after Stop. Empty when it runs; otherwise
    // why it does not. Without tellAddress the services it starts learn its address only as
    // the starter's (DBUS_STARTER_ADDRESS).
    std::string Start(CEnvironment environment = {}, bool tellAddress = true);
    void Stop();

    // Known before Start, so that an environment handed to Start can name it.
    const std::string& Address() const { return m_address; }
    const std::string& DataHome() const { return m_dataHome; }
    std::string ServiceFile() const { return m_dataHome + "/dbus-1/services/Vantrel.Application.service"; }
    // Writes the activation file of Vantrel.Application; the bus appends nothing to exec.
    void AddHostService(const std::string& exec) const;
    const CTempDir& Dir() const { return m_dir; }

private:
    CTempDir m_dir;
    std::string m_dataHome;
    std::string m_address;
    CChildProcess m_daemon;
};
