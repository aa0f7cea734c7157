#pragma once

#include <functional>
#include <memory>
#include <string>

#include <httplib.h>

#include "support/TestSupport.h"
#include "VantrelServer.h"

// A small site written by the test: two technologies, a few classes with nested types,
// supertypes and overloads, a catalogue of three components and their lookup table, and the
// style sheets and pages of this checkout.
class CTestSite
{
public:
    CTestSite();

    const std::string& Root() const { return m_dir.Path(); }
    std::string Path(const std::string& relative) const { return m_dir.Path() + "/" + relative; }
    void Write(const std::string& relative, const std::string& content) const;

private:
    CTempDir m_dir;
};

// vantrel-server started in-process over a site, on free loopback ports.
class CRunningServer
{
public:
    // stateDir empty: a temporary directory of its own; adjust changes any other option.
    explicit CRunningServer(const std::string& siteDir, int idleTimeoutSeconds = 10, const std::string& stateDir = "",
                            const std::function<void(CServerOptions&)>& adjust = {});
    // The options given (site, state, database, quota), on free loopback ports.
    explicit CRunningServer(CServerOptions options, const std::function<void(CServerOptions&)>& adjust = {});
    ~CRunningServer();

    int HttpPort() const { return m_server->HttpPort(); }
    int LookupPort() const { return m_server->LookupPort(); }
    std::unique_ptr<httplib::Client> Client() const;
    // GET path (sent as given, so encoded and hostile paths reach the server unchanged).
    httplib::Result Get(const std::string& path) const;
    const std::string& AccessLog() const { return m_logPath; }
    const std::string& StateDir() const { return m_stateDir; }

private:
    CTempDir m_state;
    std::string m_stateDir;
    std::string m_logPath;
    std::unique_ptr<CVantrelServer> m_server;
};

// Sends raw bytes to a loopback port and reads until the peer closes or the time runs out;
// from is the loopback address to send from (another client as the server counts them).
std::string RawExchange(int port, const std::string& request, int waitMs = 3000, const char* from = nullptr);
// A TCP connection to a loopback port, from a given loopback address; -1 on failure.
int ConnectLoopback(int port, const char* from = nullptr);
// Reads until what arrived ends a line, the peer closes or waitMs pass.
std::string ReadSome(int socket, int waitMs);
// True when the peer has closed the connection within waitMs.
bool PeerClosedWithin(int socket, int waitMs);
