#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>

#include "TestSupport.h"
#include "VantrelServer.h"

// A technology of one package holding one public class below java.lang.Object whose
// methods take no parameters.
struct CTestTechnology
{
    std::string name{};
    std::string display{};
    std::string docroot{};
    std::string module{};
    std::string package{};
    std::string className{};
    std::string typeParameters{};  // empty: none
    std::string implements{};      // a qualified interface name; empty: none
    bool constructor = false;
    std::vector<std::pair<std::string, std::string>> methods{};  // name and return type, by name
};

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
    // Adds the technology to the Java index with its package and its search index.
    void AddTechnology(const CTestTechnology& technology) const;

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
    // How many answered requests hold part in their target.
    size_t Requests(const std::string& part) const;
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
// A socket listening on a free loopback port, as a service manager holds one for a server;
// port is set to it. -1 on failure.
int ListenLoopback(int& port);

// A fixture whose tests share one site and one server over it.
class CSharedSiteTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_site = new CTestSite;
        s_server = new CRunningServer(s_site->Root());
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        delete s_site;
    }

    static inline CTestSite* s_site = nullptr;
    static inline CRunningServer* s_server = nullptr;
};

// Reads until what arrived ends a line, the peer closes or waitMs pass.
std::string ReadSome(int socket, int waitMs);
// True when the peer has closed the connection within waitMs.
bool PeerClosedWithin(int socket, int waitMs);
