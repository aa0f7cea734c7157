#include "VantrelServer.h"

#include <cerrno>
#include <cstdio>

#include <sys/stat.h>

#include "AccessLog.h"
#include "AdvisoryPages.h"
#include "AdvisoryStore.h"
#include "CatalogueSearch.h"
#include "ClientRegistry.h"
#include "DistributionFiles.h"
#include "FingerprintTable.h"
#include "HttpFrontEnd.h"
#include "JavaPages.h"
#include "JavaSearch.h"
#include "LocalPages.h"
#include "CatalogueClasses.h"
#include "LookupDatabase.h"
#include "LookupServer.h"
#include "MarketPages.h"
#include "PageRenderer.h"
#include "ReportStore.h"
#include "ServerStore.h"
#include "Site.h"
#include "SiteData.h"
#include "StateMigration.h"
#include "StyleSheetCache.h"
#include "SupportPages.h"
#include "TestingPages.h"
#include "Transformer.h"
#include "XmlCache.h"
#include "XqlService.h"

namespace
{
// Documents kept parsed: the whole Java data of a JDK fits.
constexpr size_t kDocumentBudget = 256 * 1024 * 1024;
}  // namespace

CVantrelServer::CVantrelServer(CServerOptions options) : m_options(std::move(options)) {}

CVantrelServer::~CVantrelServer() { Stop(); }

bool CVantrelServer::Start(std::string& error, const CPassedSockets* passed)
{
    m_site = std::make_unique<CSite>();
    if (!m_site->Open(m_options.siteDir, error))
        return false;
    CTransformer::AllowReadsBelow(m_site->Root());

    std::string stateDir = StateDirectory(m_options, m_site->Root());
    if (::mkdir(stateDir.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create the state directory " + stateDir;
        return false;
    }
    m_log = std::make_unique<CAccessLog>();
    if (!m_log->Open(m_options.accessLog.empty() ? stateDir + "/access.log" : m_options.accessLog, error))
        return false;
    m_store = CServerStore::Open(DatabaseLocation(m_options, m_site->Root()), error);
    if (!m_store)
        return false;
    // Serving beside them would hand out ids and numbers the files already gave away.
    if (CStateMigration::Pending(stateDir)) {
        error = "the state directory " + stateDir + " still holds clients.txt or reports/ of an earlier " +
                "vantrel-server; bring them into the database first with: vantrel-server --site " +
                m_options.siteDir + (m_options.stateDir.empty() ? "" : " --state " + m_options.stateDir) +
                (m_options.database.empty() ? "" : " --database URL") + " --migrate";
        return false;
    }
    m_lookupData = std::make_unique<CLookupDatabase>();
    m_fingerprints = std::make_unique<CFingerprintTable>();
    if (!CSiteData::Apply(*m_site, *m_store, *m_lookupData, *m_fingerprints, m_dataSource, error))
        return false;
    m_clients = std::make_unique<CClientRegistry>(*m_store);
    m_reports = std::make_unique<CReportStore>(*m_store, m_options.reportQuota);

    m_documents = std::make_unique<CXmlCache>(kDocumentBudget);
    m_sheets = std::make_unique<CStyleSheetCache>();
    m_renderer = std::make_unique<CPageRenderer>(*m_site, *m_documents, *m_sheets);
    m_http = std::make_unique<CHttpFrontEnd>(
        *m_log,
        [renderer = m_renderer.get()](CHttpResponse& response, int status, const std::string& message) {
            renderer->SendError(response, status, message);
        },
        m_options);

    // Every search index is ready before the first client: no search waits for a parse.
    m_javaSearch = std::make_unique<CJavaSearch>(*m_site);
    std::string missing;
    if (!m_javaSearch->LoadAll(missing))
        std::fprintf(stderr, "vantrel-server: %s\n", missing.c_str());
    m_catalogueSearch = std::make_unique<CCatalogueSearch>(*m_site);
    if (!m_catalogueSearch->Load(missing))
        std::fprintf(stderr, "vantrel-server: %s\n", missing.c_str());
    m_catalogueClasses = std::make_unique<CCatalogueClasses>(*m_lookupData, *m_catalogueSearch);
    m_xql = std::make_unique<CXqlService>(*m_site, *m_renderer, *m_javaSearch, *m_catalogueSearch, *m_catalogueClasses);
    m_files = std::make_unique<CDistributionFiles>(*m_site, *m_renderer);
    m_java = std::make_unique<CJavaPages>(*m_site, *m_renderer, *m_javaSearch);
    m_market = std::make_unique<CMarketPages>(*m_site, *m_renderer, *m_catalogueSearch, *m_store);
    m_advisories = std::make_unique<CAdvisoryCache>(*m_store);
    if (!m_advisories->Refresh(error))
        return false;
    m_advisoryPages = std::make_unique<CAdvisoryPages>(*m_site, *m_renderer, *m_advisories, *m_store);
    m_local = std::make_unique<CLocalPages>(*m_renderer, *m_catalogueSearch, *m_catalogueClasses);
    m_support = std::make_unique<CSupportPages>(*m_renderer, *m_clients, *m_reports);
    m_testing = std::make_unique<CTestingPages>(*m_renderer, *m_lookupData);
    CHttpRouter& router = m_http->Router();
    m_xql->Register(router);
    m_files->Register(router);
    m_java->Register(router);
    m_market->Register(router);
    m_advisoryPages->Register(router);
    m_local->Register(router);
    m_support->Register(router);
    m_testing->Register(router);
    router.Get("/", [](const CHttpRequest&, CHttpResponse& response) { response.Redirect("/vantrel/javatab/home.jsp"); });

    m_lookup = std::make_unique<CLookupServer>(*m_lookupData, *m_log, m_options.idleTimeoutSeconds);
    m_lookup->SetFingerprints(m_fingerprints.get());
    const bool listening = passed ? m_http->Start(passed->http, error) && m_lookup->Start(passed->lookup, error)
                                  : m_http->Start(m_options.http, error) && m_lookup->Start(m_options.lookup, error);
    if (!listening) {
        Stop();
        return false;
    }
    m_started = true;
    return true;
}

void CVantrelServer::StopAccepting()
{
    if (m_http)
        m_http->StopAccepting();
    if (m_lookup)
        m_lookup->StopAccepting();
}

bool CVantrelServer::WaitUntilIdle(std::chrono::steady_clock::time_point deadline)
{
    return (!m_http || m_http->WaitUntilIdle(deadline)) && (!m_lookup || m_lookup->WaitUntilIdle(deadline));
}

void CVantrelServer::Stop()
{
    if (m_http)
        m_http->Stop();
    if (m_lookup)
        m_lookup->Stop();
    if (m_site && !m_site->Root().empty() && m_started)
        CTransformer::ForgetReadsBelow(m_site->Root());
    m_started = false;
}

bool CVantrelServer::RunStep(const CServerOptions& options, std::string& summary, std::string& error)
{
    CSite site;
    if (!site.Open(options.siteDir, error))
        return false;
    std::string stateDir = StateDirectory(options, site.Root());
    if (::mkdir(stateDir.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create the state directory " + stateDir;
        return false;
    }
    auto store = CServerStore::Open(DatabaseLocation(options, site.Root()), error);
    if (!store)
        return false;
    if (options.migrate)
        return CStateMigration::Run(stateDir, *store, summary, error);
    if (!options.loadAdvisories.empty())
        return LoadAdvisories(options.loadAdvisories, *store, summary, error);
    return CSiteData::LoadIntoStore(site, *store, summary, error);
}

bool CVantrelServer::LoadAdvisories(const std::string& path, CServerStore& store, std::string& summary,
                                    std::string& error)
{
    CAdvisoryLoadReport report;
    size_t written = 0;
    int64_t generation = 0;
    const bool loaded = ImportAdvisories(store, path, CAdvisoryLimits{}, report, written, generation, error);
    // What was refused is named even when the load failed as a whole.
    for (const std::string& file : report.malformedFiles)
        std::fprintf(stderr, "vantrel-server: refused %s\n", file.c_str());
    if (report.malformed > report.malformedFiles.size())
        std::fprintf(stderr, "vantrel-server: and %zu more refused\n", report.malformed - report.malformedFiles.size());
    for (const std::string& record : report.unevaluableRecords)
        std::fprintf(stderr, "vantrel-server: kept out of matching: %s\n", record.c_str());
    if (!loaded)
        return false;
    summary = std::to_string(report.loaded) + " advisories read from " + path + ": " + std::to_string(report.added) +
              " new, " + std::to_string(report.replaced) + " newer, " + std::to_string(report.kept) +
              " already held; " + std::to_string(report.withdrawn) + " withdrawn, " +
              std::to_string(report.unevaluable) + " with ranges that cannot be evaluated, " +
              std::to_string(report.ignored) + " of other ecosystems ignored, " + std::to_string(report.malformed) +
              " malformed; " +
              (written ? "the store is at generation " + std::to_string(generation) : std::string("the store is unchanged"));
    return true;
}

std::string CVantrelServer::Describe() const
{
    return m_store ? "state in the " + m_store->Describe() + "; catalogue, lookup table and " +
                         std::to_string(m_fingerprints->RowCount()) + " class fingerprints from " + m_dataSource
                   : std::string("not started");
}

int CVantrelServer::HttpPort() const { return m_http ? m_http->Port() : 0; }

int CVantrelServer::LookupPort() const { return m_lookup ? m_lookup->Port() : 0; }
