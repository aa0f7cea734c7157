#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

#include "TestSupport.h"

// A real proxy server on a free loopback port, with a configuration of its own, for
// tests of the firewall types. It is stopped (with everything it forked) on destruction.
enum class CProxyKind
{
    Microsocks,  // SOCKS 5, optionally with user name and password
    Danted,      // SOCKS 4 and 5 (dante-server)
    Tinyproxy,   // HTTP proxy with CONNECT, optionally with Basic authentication
};

struct CProxyOptions
{
    std::string user;  // empty: no authentication
    std::string password;
    int connectPort = 0;  // tinyproxy: the port CONNECT may reach
};

class CProxyProcess
{
public:
    explicit CProxyProcess(CProxyKind kind, const CProxyOptions& options = {});
    ~CProxyProcess();
    CProxyProcess(const CProxyProcess&) = delete;
    CProxyProcess& operator=(const CProxyProcess&) = delete;

    // The program is not installed: the test skips.
    bool Missing() const { return m_missing; }
    // Empty when the proxy accepts connections; otherwise why it does not.
    const std::string& Error() const { return m_error; }
    int Port() const { return m_port; }
    const char* Name() const;

    // What the proxy wrote to its standard output and error so far.
    std::string Log() const;
    // Waits up to two seconds for text to show in the log.
    bool WaitForLog(const std::string& text) const;

    // A loopback port that nobody listens on at the moment.
    static int FreeLoopbackPort();

private:
    bool Launch(const std::string& program, const std::vector<std::string>& args);
    bool WaitUntilAccepting();
    std::string WriteConfig(const CProxyOptions& options);

    CProxyKind m_kind;
    CTempDir m_dir;
    std::string m_logPath;
    int m_port = 0;
    pid_t m_pid = -1;
    bool m_missing = false;
    std::string m_error;
};
