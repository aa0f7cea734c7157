#pragma once

#include <string>

#include "ChildProcess.h"
#include "support/TestSupport.h"

// A session bus of the test's own: a dbus-daemon that listens in a temporary directory
// and activates only the services the test puts in its services directory.
class CPrivateBus
{
public:
    CPrivateBus();
    ~CPrivateBus();
    CPrivateBus(const CPrivateBus&) = delete;
    CPrivateBus& operator=(const CPrivateBus&) = delete;

    // Starts the daemon, again at the same address after Stop. Empty when it runs;
    // otherwise why it does not.
    std::string Start();
    void Stop();
    const std::string& Address() const { return m_address; }

    // Writes the activation file of Vantrel.Application; the bus appends nothing, so the
    // command line ends with " -Embedding" as the host's own file has it.
    void AddHostService(const std::string& exec);
    const CTempDir& Dir() const { return m_dir; }

private:
    CTempDir m_dir;
    std::string m_config;
    std::string m_address;
    CChildProcess m_daemon;
};
