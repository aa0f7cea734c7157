#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "PassedSockets.h"
#include "ServerOptions.h"

class CAccessLog;
class CSite;
class CXmlCache;
class CStyleSheetCache;
class CPageRenderer;
class CHttpFrontEnd;
class CXqlService;
class CDistributionFiles;
class CJavaPages;
class CJavaSearch;
class CCatalogueClasses;
class CCatalogueSearch;
class CMarketPages;
class CLocalPages;
class CSupportPages;
class CTestingPages;
class CClientRegistry;
class CReportStore;
class CLookupDatabase;
class CFingerprintTable;
class CLookupServer;
class CServerStore;
class CAdvisoryCache;
class CAdvisoryPages;

// Every vendor server of the client on one HTTP listener and one lookup listener, over one
// site directory.
class CVantrelServer
{
public:
    explicit CVantrelServer(CServerOptions options);
    ~CVantrelServer();
    CVantrelServer(const CVantrelServer&) = delete;
    CVantrelServer& operator=(const CVantrelServer&) = delete;

    // Opens the site and the database, binds both listeners (or takes the passed ones) and
    // starts serving; error says what failed.
    bool Start(std::string& error, const CPassedSockets* passed = nullptr);
    // A stop that loses no request: no new connections, then the requests under way are
    // answered; WaitUntilIdle says when they are. Stop closes whatever is left.
    void StopAccepting();
    bool WaitUntilIdle(std::chrono::steady_clock::time_point deadline);
    void Stop();

    // The one step that --migrate, --load-site or --load-advisories asks for, on the database the options name.
    static bool RunStep(const CServerOptions& options, std::string& summary, std::string& error);

    int HttpPort() const;
    int LookupPort() const;
    const CServerOptions& Options() const { return m_options; }
    // Where the state is kept, and where the catalogue, lookup table and fingerprints came from.
    std::string Describe() const;

private:
    static bool LoadAdvisories(const std::string& path, CServerStore& store, std::string& summary, std::string& error);

    CServerOptions m_options;
    std::unique_ptr<CAccessLog> m_log;
    std::unique_ptr<CSite> m_site;
    std::unique_ptr<CXmlCache> m_documents;
    std::unique_ptr<CStyleSheetCache> m_sheets;
    std::unique_ptr<CPageRenderer> m_renderer;
    std::unique_ptr<CServerStore> m_store;
    std::string m_dataSource;
    std::unique_ptr<CClientRegistry> m_clients;
    std::unique_ptr<CReportStore> m_reports;
    std::unique_ptr<CLookupDatabase> m_lookupData;
    std::unique_ptr<CFingerprintTable> m_fingerprints;
    std::unique_ptr<CJavaSearch> m_javaSearch;
    std::unique_ptr<CCatalogueSearch> m_catalogueSearch;
    std::unique_ptr<CCatalogueClasses> m_catalogueClasses;
    std::unique_ptr<CXqlService> m_xql;
    std::unique_ptr<CDistributionFiles> m_files;
    std::unique_ptr<CJavaPages> m_java;
    std::unique_ptr<CMarketPages> m_market;
    std::unique_ptr<CAdvisoryCache> m_advisories;
    std::unique_ptr<CAdvisoryPages> m_advisoryPages;
    std::unique_ptr<CLocalPages> m_local;
    std::unique_ptr<CSupportPages> m_support;
    std::unique_ptr<CTestingPages> m_testing;
    std::unique_ptr<CHttpFrontEnd> m_http;
    std::unique_ptr<CLookupServer> m_lookup;
    bool m_started = false;
};
