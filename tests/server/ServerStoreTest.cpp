// What the server keeps in its database, against SQLite and against a real PostgreSQL, with
// two servers sharing one database as they do behind a load balancer.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <set>
#include <thread>

#include "AdvisoryPages.h"
#include "ClientRegistry.h"
#include "DatabaseFactory.h"
#include "FingerprintTable.h"
#include "LookupDatabase.h"
#include "Schema.h"
#include "SqlDatabase.h"
#include "ServerStore.h"
#include "Site.h"
#include "SiteData.h"
#include "TestDatabase.h"
#include "support/PostgresCluster.h"
#include "support/TestSite.h"

namespace
{
class ServerStoreTest : public ::testing::TestWithParam<CDatabaseKind>
{
protected:
    void SetUp() override { ASSERT_FALSE(m_database.Location().empty()) << m_database.Error(); }

    CServerOptions Options(int quota = 100) const
    {
        CServerOptions options;
        options.siteDir = m_site.Root();
        options.database = m_database.Location();
        options.reportQuota = quota;
        return options;
    }

    CTestSite m_site;
    CTestDatabase m_database{GetParam()};
};

template <typename Work>
void InParallel(size_t count, Work work)
{
    std::vector<std::thread> threads;
    for (size_t i = 0; i < count; ++i)
        threads.emplace_back(work, i);
    for (auto& thread : threads)
        thread.join();
}

std::string FirstLine(const httplib::Result& answer)
{
    return answer && answer->status == 200 ? answer->body.substr(0, answer->body.find('\n')) : "(failed)";
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Every fingerprint of the table as "fingerprint: SCID version, ..." with the versions in order,
// one line each, for the fingerprints asked about.
std::string Versions(const CFingerprintTable& table, const std::vector<uint64_t>& fingerprints)
{
    std::string text;
    for (uint64_t fingerprint : fingerprints) {
        std::vector<std::string> found;
        for (const auto* version : table.Find(fingerprint))
            found.push_back(version->scid + " " + version->version);
        std::sort(found.begin(), found.end());
        text += std::to_string(fingerprint) + ":";
        for (const auto& version : found)
            text += " " + version;
        text += "\n";
    }
    return text;
}
}  // namespace

INSTANTIATE_TEST_SUITE_P(Both, ServerStoreTest, ::testing::Values(CDatabaseKind::SQLite, CDatabaseKind::PostgreSQL),
                         [](const auto& info) { return std::string(DatabaseKindName(info.param)); });

TEST_P(ServerStoreTest, ClientIdsStayUniqueAcrossTwoServers)
{
    CRunningServer one(Options()), two(Options());
    const CRunningServer* servers[] = {&one, &two};
    auto ask = [&](size_t server, const std::string& presented) {
        return FirstLine(servers[server]->Get("/Vantrel/ui/clientid.jsp?exeversion=1.0.0.0&clientid=" + presented +
                                              "&email=dev@example.org"));
    };
    std::string known = ask(0, "0");
    // A quarter present an id the store issued, a quarter ids nobody issued, half none.
    std::vector<std::string> presented(200), given(200);
    for (size_t i = 0; i < presented.size(); ++i)
        presented[i] = (i / 2) % 4 == 0 ? known : (i / 2) % 4 == 1 ? std::to_string(900000000 + i) : "0";
    InParallel(presented.size(), [&](size_t i) { given[i] = ask(i % 2, presented[i]); });

    std::set<uint64_t> fresh;
    for (size_t i = 0; i < given.size(); ++i) {
        if (presented[i] == known) {
            EXPECT_EQ(given[i], known);
            continue;
        }
        ASSERT_TRUE(CClientRegistry::IsClientId(given[i])) << given[i];
        EXPECT_NE(given[i], presented[i]);
        EXPECT_TRUE(fresh.insert(std::stoull(given[i])).second) << "handed out twice: " << given[i];
    }
    EXPECT_EQ(fresh.size(), 150u);
    EXPECT_EQ(fresh.count(std::stoull(known)), 0u);

    // The next id in line, presented before anyone has it, does not pass it to the next client.
    std::string early = ask(1, std::to_string(*fresh.rbegin() + 1));
    std::string later = ask(0, "0");
    EXPECT_NE(early, later);
    EXPECT_EQ(QueryText(m_database.Location(), "SELECT count(*) FROM clients"), std::to_string(fresh.size() + 3) + "|");
}

TEST_P(ServerStoreTest, ReportsFromTwoServersKeepDistinctNumbersWithinTheQuota)
{
    CRunningServer one(Options(5)), two(Options(5));
    const CRunningServer* servers[] = {&one, &two};
    // Eight addresses send five reports each, the quota; the first sends four more.
    std::vector<std::pair<int, std::string>> answers(44);  // status, page
    InParallel(answers.size(), [&](size_t i) {
        httplib::Params fields{{"email", "user" + std::to_string(i < 40 ? i % 8 : 0) + "@example.org"},
                               {"summary", "Report " + std::to_string(i)},
                               {"details", "Sent to server " + std::to_string(i % 2)}};
        auto sent = servers[i % 2]->Client()->Post(i % 3 ? "/vantrel/ui/support.jsp" : "/vantrel/ui/request.jsp",
                                                    fields);
        answers[i] = sent ? std::pair(sent->status, sent->body) : std::pair(-1, std::string());
    });
    std::set<std::string> numbers;
    int refused = 0;
    for (size_t i = 0; i < answers.size(); ++i) {
        const auto& [status, page] = answers[i];
        if (status == 429) {
            ++refused;
            EXPECT_TRUE(i >= 40 || i % 8 == 0) << "only the first address is over its quota";
            EXPECT_TRUE(Has(page, "as many as we accept from one address in a day"));
            EXPECT_TRUE(Has(page, "value=\"Report " + std::to_string(i) + "\""));  // nothing typed is lost
            continue;
        }
        ASSERT_EQ(status, 200) << page;
        size_t at = page.find("number <b>");
        ASSERT_NE(at, std::string::npos);
        EXPECT_TRUE(numbers.insert(page.substr(at, page.find('<', at + 10) - at)).second);
    }
    EXPECT_EQ(refused, 4);
    EXPECT_EQ(numbers.size(), 40u);
    EXPECT_EQ(QueryText(m_database.Location(), "SELECT count(*), count(DISTINCT number) FROM reports"), "40|40|");
    auto list = two.Get("/vantrel/ui/help/list.jsp?clientid=0&email=user0@example.org");
    ASSERT_TRUE(list);
    size_t listed = 0;
    for (size_t at = 0; (at = list->body.find("<td>Report ", at)) != std::string::npos; ++at)
        ++listed;
    EXPECT_EQ(listed, 5u) << list->body;
}

TEST_P(ServerStoreTest, MigrationBringsAnEarlierStateFolderIn)
{
    CTempDir state, copy;
    for (const auto& dir : {state.Path(), copy.Path()})
        std::filesystem::copy(OLD_STATE, dir, std::filesystem::copy_options::recursive);
    CServerOptions options = Options();
    options.stateDir = state.Path();
    try {
        CRunningServer beside(options);
        ADD_FAILURE() << "served beside files whose ids and numbers it would hand out again";
    } catch (const std::runtime_error& refused) {
        EXPECT_TRUE(Has(refused.what(), "--migrate")) << refused.what();
    }
    std::string error;
    {
        auto store = CServerStore::Open(m_database.Location(), error);
        ASSERT_TRUE(store) << error;
        CReportTable::CReport report{0, "bug", "zed@example.org", "linux", "Already here", "", ""};
        ASSERT_EQ(store->Reports().Add(report, 0).number, 1);  // takes the number of an old report
    }
    struct Case
    {
        std::string stateDir;
        const char* summary;
    };
    const Case runs[] = {
        {state.Path(), "migrated 3 client ids (5 registrations) and 4 reports"},
        {state.Path(), "nothing to migrate"},
        {copy.Path(), "migrated 0 client ids (0 registrations) and 0 reports"},  // the same folder again
    };
    for (const auto& run : runs) {
        options.stateDir = run.stateDir;
        options.migrate = true;
        std::string summary;
        ASSERT_TRUE(CVantrelServer::RunStep(options, summary, error)) << error;
        EXPECT_TRUE(Has(summary, run.summary)) << summary;
        EXPECT_EQ(Has(summary, "report 1 is now number 5"), &run == &runs[0]) << summary;
    }
    EXPECT_TRUE(std::filesystem::exists(state.File("clients.txt.migrated")));

    options.stateDir = state.Path();
    options.migrate = false;
    CRunningServer server(options);
    for (const char* presented : {"100001", "100002", "100003"})  // "100004" was cut short in the file
        EXPECT_EQ(FirstLine(server.Get(std::string("/Vantrel/ui/clientid.jsp?exeversion=1&clientid=") + presented +
                                       "&email=")),
                  presented);
    EXPECT_EQ(FirstLine(server.Get("/Vantrel/ui/clientid.jsp?exeversion=1&clientid=0&email=")), "100004");
    auto list = server.Get("/vantrel/ui/help/list.jsp?clientid=100001&email=ada@example.org");
    ASSERT_TRUE(list);
    for (const char* shown : {"<td>5</td>", "Tree &lt;empty&gt; &amp; stuck", "<td>2</td>", "Dunkle Seiten für Nächte"})
        EXPECT_TRUE(Has(list->body, shown)) << shown;
    EXPECT_EQ(QueryText(m_database.Location(), "SELECT details FROM reports WHERE number = 5"),
              "Steps:\n1. open\n2. wait|");
    auto sent = server.Client()->Post("/vantrel/ui/request.jsp", httplib::Params{{"summary", "After the move"}});
    ASSERT_TRUE(sent);
    EXPECT_TRUE(Has(sent->body, "number <b>6</b>"));
}

TEST_P(ServerStoreTest, EveryServerAnswersFromTheCatalogueInTheStore)
{
    // Another machine's site, built from other archives.
    CTestSite other;
    other.Write("stores/components/vendors/components.bnd",
                "<components><component SCID=\"7\"><componentName>Lonely Widget</componentName><categories><category>"
                "<primaryCategory>Misc</primaryCategory><secondaryCategory>Odd</secondaryCategory></category>"
                "</categories></component></components>");
    other.Write("lookup/classes.txt", "org.lonely.Widget\t7\n");
    auto count = [](const CRunningServer& server, const std::string& prefix) {
        std::string answer = RawExchange(server.LookupPort(), "GETCOUNT " + prefix + "\nQUIT\n");
        return answer.substr(answer.find("200 "), answer.find('\n', answer.find("200 ")) - answer.find("200 "));
    };
    {
        CServerOptions alone;
        alone.siteDir = other.Root();
        CRunningServer filesOnly(alone);
        EXPECT_TRUE(Has(filesOnly.Get("/vantrel/markettab/indexfile.jsp")->body, "Lonely Widget"));
        EXPECT_EQ(count(filesOnly, "org.lonely."), "200 1");
    }

    CServerOptions load = Options();
    load.loadSite = true;
    std::string summary, error;
    ASSERT_TRUE(CVantrelServer::RunStep(load, summary, error)) << error;
    EXPECT_TRUE(Has(summary, "lookup table (4 classes)")) << summary;
    CServerOptions onOther = Options();
    onOther.siteDir = other.Root();
    CRunningServer first(Options()), second(onOther);
    auto index = first.Get("/vantrel/markettab/indexfile.jsp");
    auto sameIndex = second.Get("/vantrel/markettab/indexfile.jsp");
    ASSERT_TRUE(index && sameIndex);
    EXPECT_EQ(sameIndex->body, index->body);
    EXPECT_TRUE(Has(index->body, "Acme Parsers Extras"));
    // Clients that land on either server see one date and download the index once.
    EXPECT_FALSE(index->get_header_value("Last-Modified").empty());
    EXPECT_EQ(sameIndex->get_header_value("Last-Modified"), index->get_header_value("Last-Modified"));
    for (const CRunningServer* server : {&first, &second}) {
        EXPECT_EQ(count(*server, "com.acme."), "200 2");
        EXPECT_EQ(count(*server, "org.lonely."), "200 0");
    }
}

namespace
{
// An OSV record of com.acme:parsers, the test catalogue's component with versions 2.1 and
// 2.0-beta<1>.
std::string AcmeRecord(const std::string& id, const std::string& modified, const std::string& fixed,
                       const std::string& summary = "Parsers run away", const std::string& extra = "")
{
    nlohmann::json record = {
        {"id", id},
        {"modified", modified},
        {"aliases", {"CVE-2024-0001"}},
        {"summary", summary},
        {"severity", {{{"type", "CVSS_V3"}, {"score", "CVSS:3.1/AV:N/AC:L/PR:N/UI:N/S:U/C:H/I:H/A:H"}}}},
        {"affected",
         {{{"package", {{"ecosystem", "Maven"}, {"name", "com.acme:parsers"}}},
           {"ranges", {{{"type", "ECOSYSTEM"}, {"events", {{{"introduced", "0"}}, {{"fixed", fixed}}}}}}}}}}};
    std::string text = record.dump();
    return extra.empty() ? text : text.substr(0, text.size() - 1) + "," + extra + "}";
}

nlohmann::json AskAdvisories(const CRunningServer& server, const std::string& lines)
{
    auto answer = server.Client()->Post("/vantrel/advisories", lines, "text/plain");
    if (!answer || answer->status != 200)
        return {{"failed", answer ? answer->status : 0}};
    return nlohmann::json::parse(answer->body, nullptr, false);
}

std::string Ids(const nlohmann::json& list)
{
    std::string ids;
    for (const auto& advisory : list)
        ids += (ids.empty() ? "" : " ") + advisory.value("id", "?") + ">" + advisory.value("fixed", "?");
    return ids;
}
}  // namespace

// Two servers on one store: a load shows on both at their next request, without a restart;
// loading again changes nothing, an older copy of a record never replaces a newer one; bad
// records are counted and never matched as affecting everything.
TEST_P(ServerStoreTest, AdvisoriesLoadedOnceAnswerOnEveryServerAtOnce)
{
    CServerOptions onOther = Options();
    CRunningServer first(Options()), second(onOther);
    // The last line's bytes are no UTF-8 and hold a quote and a control character: the answer
    // stays valid JSON.
    const std::string question =
        "com.acme:parsers\t2.0\ncom.acme:parsers\t2.1\nno tab here\norg.beta:logging\t0.9\nodd:\xff\"\x01\t1";
    nlohmann::json before = AskAdvisories(first, question);
    ASSERT_EQ(before.value("generation", -1), 0) << before.dump();
    ASSERT_EQ(before["results"].size(), 5u);
    EXPECT_EQ(before["results"][4]["package"], "odd:\xef\xbf\xbd\"");
    EXPECT_EQ(Ids(before["results"][0]["advisories"]), "");

    CTempDir osv;
    WriteFileText(osv.Path() + "/a.json", AcmeRecord("GHSA-a", "2024-05-01T12:00:00Z", "2.1"));
    WriteFileText(osv.Path() + "/withdrawn.json",
                  AcmeRecord("GHSA-w", "2024-05-01T12:00:00Z", "3.0", "Gone", R"("withdrawn": "2024-06-01T00:00:00Z")"));
    std::string semver = AcmeRecord("GHSA-s", "2024-05-01T12:00:00Z", "3.0");
    semver.replace(semver.find("ECOSYSTEM"), 9, "SEMVER");
    WriteFileText(osv.Path() + "/semver.json", semver);
    WriteFileText(osv.Path() + "/npm.json",
                  R"({"id": "GHSA-n", "modified": "2024-05-01T12:00:00Z", "affected": [{"package": {"ecosystem": "npm", "name": "left-pad"}}]})");
    WriteFileText(osv.Path() + "/broken.json", R"({"id": "GHSA-b", "modified": )");
    CServerOptions load = Options();
    load.loadAdvisories = osv.Path();
    std::string summary, error;
    ASSERT_TRUE(CVantrelServer::RunStep(load, summary, error)) << error;
    EXPECT_TRUE(Has(summary, "3 advisories read")) << summary;
    EXPECT_TRUE(Has(summary, "3 new, 0 newer, 0 already held; 1 withdrawn, 1 with ranges that cannot be evaluated, "
                             "1 of other ecosystems ignored, 1 malformed; the store is at generation 1"))
        << summary;

    // The other server answers from the new records at once.
    nlohmann::json after = AskAdvisories(second, question);
    ASSERT_EQ(after.value("generation", -1), 1) << after.dump();
    const auto& results = after["results"];
    EXPECT_EQ(Ids(results[0]["advisories"]), "GHSA-a>2.1");
    EXPECT_EQ(results[0]["advisories"][0]["severity"], "critical");
    EXPECT_EQ(results[0]["advisories"][0]["ratings"][0]["score"], 9.8);
    EXPECT_EQ(Ids(results[0]["unevaluable"]), "GHSA-s>3.0");  // not known to be safe from it
    EXPECT_EQ(Ids(results[1]["advisories"]), "");
    EXPECT_EQ(Ids(results[1]["unevaluable"]), "GHSA-s>3.0");
    EXPECT_TRUE(results[2].contains("error"));
    EXPECT_EQ(Ids(results[3]["advisories"]) + Ids(results[3]["unevaluable"]), "");

    // Again: nothing changes. An older copy is kept out, a newer one replaces it everywhere.
    ASSERT_TRUE(CVantrelServer::RunStep(load, summary, error)) << error;
    EXPECT_TRUE(Has(summary, "0 new, 0 newer, 3 already held")) << summary;
    EXPECT_TRUE(Has(summary, "the store is unchanged")) << summary;
    CTempDir copies;
    WriteFileText(copies.Path() + "/older.json", AcmeRecord("GHSA-a", "2024-04-01T12:00:00Z", "9.9"));
    load.loadAdvisories = copies.Path();
    ASSERT_TRUE(CVantrelServer::RunStep(load, summary, error)) << error;
    EXPECT_TRUE(Has(summary, "0 new, 0 newer, 1 already held")) << summary;
    WriteFileText(copies.Path() + "/older.json", AcmeRecord("GHSA-a", "2024-05-01T14:00:00+01:00", "2.2"));
    ASSERT_TRUE(CVantrelServer::RunStep(load, summary, error)) << error;
    EXPECT_TRUE(Has(summary, "0 new, 1 newer")) << summary;
    for (const CRunningServer* server : {&first, &second}) {
        nlohmann::json now = AskAdvisories(*server, "com.acme:parsers\t2.1\n");
        EXPECT_EQ(now.value("generation", -1), 2);
        EXPECT_EQ(Ids(now["results"][0]["advisories"]), "GHSA-a>2.2");
    }

    // The Marketplace's product page lists each version's advisories, its texts escaped.
    WriteFileText(copies.Path() + "/older.json",
                  AcmeRecord("GHSA-a", "2024-07-01T00:00:00Z", "2.2", "<script>alert(1)</script>\"><img src=x>"));
    ASSERT_TRUE(CVantrelServer::RunStep(load, summary, error)) << error;
    auto page = first.Get("/components/view.jsp?prodid=1000001");
    ASSERT_TRUE(page && page->status == 200);
    EXPECT_TRUE(Has(page->body, "GHSA-a")) << page->body;
    EXPECT_TRUE(Has(page->body, "fixed in 2.2"));
    EXPECT_TRUE(Has(page->body, "Versions in the catalogue"));
    EXPECT_TRUE(Has(page->body, "&lt;script&gt;alert(1)&lt;/script&gt;")) << page->body;
    EXPECT_FALSE(Has(page->body, "<script>alert") || Has(page->body, "<img src=x>"));
    EXPECT_TRUE(Has(first.Get("/components/view.jsp?prodid=999")->body, "has no product"));

    // Questions are bounded.
    std::string many;
    for (size_t i = 0; i <= CAdvisoryPages::kMaxQueries; ++i)
        many += "a:b\t1\n";
    EXPECT_EQ(first.Client()->Post("/vantrel/advisories", many, "text/plain")->status, 413);
}

// A restart of the database server drops every pooled connection of both servers: each is
// found broken at its first use and replaced, and the request on it goes through.
TEST(ServerStoreRestartTest, NoRequestFailsAfterTheDatabaseRestarted)
{
    CTestSite site;
    CTestDatabase database(CDatabaseKind::PostgreSQL);
    ASSERT_FALSE(database.Location().empty()) << database.Error();
    CServerOptions options;
    options.siteDir = site.Root();
    options.database = database.Location();
    options.reportQuota = 0;
    CRunningServer one(options), two(options);
    const CRunningServer* servers[] = {&one, &two};
    // Client ids and reports write, the help list reads, a marketplace session writes alone.
    // Answers the status and what the request handed out: a client id, a report number or "".
    auto request = [&](size_t i) -> std::pair<int, std::string> {
        const CRunningServer& server = *servers[i % 2];
        size_t kind = i / 2 % 4;
        httplib::Result answer =
            kind == 0 ? server.Get("/Vantrel/ui/clientid.jsp?exeversion=1&clientid=0&email=dev@example.org")
            : kind == 1
                ? server.Client()->Post("/vantrel/ui/support.jsp",
                                        httplib::Params{{"email", "dev@example.org"}, {"summary", "Restarted"}})
            : kind == 2 ? server.Get("/vantrel/ui/help/list.jsp?clientid=0&email=dev@example.org")
                        : server.Get("/Vantrel/markettab/session.jsp?look=plain");
        if (!answer)
            return {-1, ""};
        size_t at = answer->body.find("number <b>");
        bool numbered = kind == 1 && at != std::string::npos;
        return {answer->status, kind == 0  ? FirstLine(answer)
                                : numbered ? answer->body.substr(at, answer->body.find('<', at + 10) - at)
                                           : ""};
    };
    std::set<std::string> handedOut;
    // More requests at once than a pool holds connections, before and after the restart.
    for (bool restarted : {false, true}) {
        if (restarted) {
            ASSERT_TRUE(CPostgresCluster::Shared().Restart()) << CPostgresCluster::Shared().Error();
        }
        std::vector<std::pair<int, std::string>> answers(48);
        InParallel(answers.size(), [&](size_t i) { answers[i] = request(i); });
        for (size_t i = 0; i < answers.size(); ++i) {
            EXPECT_EQ(answers[i].first, 200) << "request " << i << (restarted ? " after" : " before") << " the restart";
            if (!answers[i].second.empty()) {
                EXPECT_TRUE(handedOut.insert(answers[i].second).second) << "handed out twice: " << answers[i].second;
            }
        }
    }
    EXPECT_EQ(handedOut.size(), 48u);
}

TEST_P(ServerStoreTest, ASchemaStepBringsAnExistingDatabaseUpKeepingItsData)
{
    std::string error;
    {
        // Written by this version of the tables, with a row in each.
        auto store = CServerStore::Open(m_database.Location(), error);
        ASSERT_TRUE(store) << error;
        ASSERT_NE(store->Clients().Register(0, "ada@example.org", "1.0.0.0", error), 0u) << error;
        ASSERT_EQ(store->Reports().Add({0, "bug", "ada@example.org", "linux", "Kept", "", ""}, 0).outcome,
                  CReportTable::CAddOutcome::Stored);
        ASSERT_TRUE(store->MarketSessions().Add("s1", "plain", error)) << error;
        CCatalogueTables::CContent catalogue{{{"1", "2.0", "ab", "cd", 3}}, {{0xfedcba9876543210u, 0}}};
        ASSERT_TRUE(store->LoadSite("catalogue.xml", {"<components/>", 7, {{"a.B", "1"}}}, catalogue, error)) << error;
    }
    auto data = [&] {
        std::string text;
        for (const char* table : {"clients", "client_visits", "reports", "market_sessions", "site_documents",
                                  "lookup_classes", "catalogue_versions", "catalogue_fingerprints"})
            text += QueryText(m_database.Location(), std::string("SELECT * FROM ") + table) + "\n";
        return text;
    };
    std::string kept = data();
    ASSERT_EQ(kept.find("(error"), std::string::npos) << kept;
    std::string integer = GetParam() == CDatabaseKind::SQLite ? "INTEGER" : "BIGINT";
    std::string notes = "CREATE TABLE client_notes(client " + integer + " NOT NULL REFERENCES clients(id), note TEXT)";
    std::string fill = "INSERT INTO client_notes(client, note) SELECT id, 'first' FROM clients";
    CSchema later = CSchema::Store().Then({{notes, fill}, {notes, fill}});

    // Two servers of the later version start together: the step runs once.
    size_t applied[2] = {9, 9};
    std::string errors[2];
    InParallel(2, [&](size_t i) {
        auto database = CDatabaseFactory::Open(m_database.Location(), errors[i]);
        if (database)
            later.Upgrade(*database, applied[i], errors[i]);
    });
    EXPECT_EQ(errors[0] + errors[1], "");
    EXPECT_EQ(applied[0] + applied[1], 1u);
    std::string laterVersion = std::to_string(later.Version());
    EXPECT_EQ(QueryText(m_database.Location(), "SELECT value FROM store_info WHERE name = 'schema'"),
              laterVersion + "|");
    EXPECT_EQ(QueryText(m_database.Location(), "SELECT count(*) FROM client_notes"), "1|");
    EXPECT_EQ(data(), kept);

    // Opened again: nothing to do. This version's server refuses the later tables.
    auto database = CDatabaseFactory::Open(m_database.Location(), error);
    ASSERT_TRUE(database) << error;
    ASSERT_TRUE(later.Upgrade(*database, applied[0], error)) << error;
    EXPECT_EQ(applied[0], 0u);
    EXPECT_EQ(QueryText(m_database.Location(), "SELECT count(*) FROM client_notes"), "1|");
    EXPECT_EQ(data(), kept);
    EXPECT_FALSE(CServerStore::Open(m_database.Location(), error));
    EXPECT_TRUE(Has(error, "tables version " + laterVersion)) << error;
}

TEST_P(ServerStoreTest, AServerFindsTheFingerprintsOfTheLastLoad)
{
    const std::string catalogue =
        "<components><component SCID=\"1000001\"><componentName>Acme</componentName><versions>"
        "<version name=\"2.0\" sha1=\"a1\" sha256=\"b2\" classCount=\"2\"/><version name=\"1.0\" "
        "sha1=\"c3\" sha256=\"d4\" classCount=\"1\"/></versions></component></components>";
    m_site.Write(CSite::kCatalogue, catalogue);
    m_site.Write("lookup/classes.txt", "com.acme.A\t1000001\n");
    // Rows of both versions, one twice, one of a version the catalogue does not list, and
    // lines that are no rows: a bad digit, a field missing, a blank in the version, and a
    // last line torn in its fingerprint.
    const std::string first = "# fingerprints\n"
                              "00000000000000aa\t1000001\t2.0\n00000000000000aa\t1000001\t1.0\n"
                              "ffffffffffffffff\t1000001\t2.0\n00000000000000bb\t1000001\t1.0\n"
                              "00000000000000bb\t1000001\t1.0\n00000000000000cc\t1000009\t0.1\n"
                              "00000000000000gg\t1000001\t2.0\n00000000000000dd\t1000001\n"
                              "00000000000000ee\t1000001\t2 .0\n00000000000000f";
    const std::string second = "# fingerprints\n00000000000000aa\t1000001\t3.0\n";
    const std::vector<uint64_t> asked = {0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xf, 0xffffffffffffffffu};
    CSite site, bare;
    std::string error, source, summary;
    ASSERT_TRUE(site.Open(m_site.Root(), error)) << error;
    CTestSite other;  // a server's site without a fingerprint table
    ASSERT_TRUE(bare.Open(other.Root(), error)) << error;
    auto store = CServerStore::Open(m_database.Location(), error);
    ASSERT_TRUE(store) << error;
    auto apply = [&](const CSite& on, CFingerprintTable& table) {
        CLookupDatabase lookup;
        EXPECT_TRUE(CSiteData::Apply(on, *store, lookup, table, source, error)) << error;
    };

    m_site.Write(CSiteData::kFingerprints, first);
    CFingerprintTable fromFile, served;
    ASSERT_TRUE(fromFile.Load(m_site.Path(CSiteData::kFingerprints), error)) << error;
    ASSERT_EQ(Versions(fromFile, {0xaa, 0xcc})[0], '1') << "the file gives rows to compare";
    // A store loaded before it kept fingerprints: the site's file answers.
    ASSERT_TRUE(store->SiteTables().Replace(CSite::kCatalogue, {catalogue, 7, {}}, error)) << error;
    apply(site, served);
    EXPECT_TRUE(Has(source, "fingerprints from the site's file")) << source;
    EXPECT_EQ(Versions(served, asked), Versions(fromFile, asked));

    CServerOptions load = Options();
    load.loadSite = true;
    ASSERT_TRUE(CVantrelServer::RunStep(load, summary, error)) << error;
    EXPECT_TRUE(Has(summary, "3 versions") && Has(summary, "fingerprint table (5 rows)")) << summary;
    EXPECT_EQ(QueryText(m_database.Location(),
                        "SELECT scid, version, sha1, sha256, class_count FROM catalogue_versions ORDER BY id"),
              "1000001|2.0|a1|b2|2|\n1000001|1.0|c3|d4|1|\n1000009|0.1|||0|");
    CFingerprintTable loaded;
    apply(bare, loaded);
    EXPECT_FALSE(Has(source, "site's file")) << source;
    EXPECT_EQ(loaded.RowCount(), 5u);
    EXPECT_EQ(Versions(loaded, asked), Versions(fromFile, asked));

    // Loaded again from another table: only its rows are left.
    m_site.Write(CSiteData::kFingerprints, second);
    ASSERT_TRUE(CVantrelServer::RunStep(load, summary, error)) << error;
    CFingerprintTable reloaded;
    apply(bare, reloaded);
    EXPECT_EQ(Versions(reloaded, asked), "170: 1000001 3.0\n187:\n204:\n221:\n238:\n15:\n18446744073709551615:\n");
    EXPECT_EQ(QueryText(m_database.Location(), "SELECT count(*) FROM catalogue_fingerprints"), "1|");
    EXPECT_EQ(QueryText(m_database.Location(), "SELECT version FROM catalogue_versions ORDER BY id"),
              "2.0|\n1.0|\n3.0|");
}

TEST_P(ServerStoreTest, IntegerRowsGoInAndComeOutInBulkUnchanged)
{
    std::string error;
    auto database = CDatabaseFactory::Open(m_database.Location(), error);
    ASSERT_TRUE(database) << error;
    auto connection = database->Acquire(error);
    ASSERT_TRUE(connection) << error;
    std::string integer = GetParam() == CDatabaseKind::SQLite ? "INTEGER" : "BIGINT";
    ASSERT_TRUE(connection->Run("CREATE TABLE bulk(a " + integer + ", b " + integer + ", note TEXT)").ok);
    // The ends of the range, and more rows than one piece of a COPY holds.
    std::vector<std::pair<int64_t, int64_t>> rows = {{INT64_MIN, INT64_MAX}, {-1, 0}, {0, -1}};
    for (int64_t i = 0; i < 40000; ++i)
        rows.emplace_back(i * 7919 - 1000000, -i);
    size_t next = 0;
    ASSERT_TRUE(connection->Run("BEGIN").ok);  // as within a load: one commit, not one a row
    CSqlResult put = connection->InsertIntegers("bulk", {"a", "b"}, [&](int64_t* row) {
        if (next == rows.size())
            return false;
        row[0] = rows[next].first;
        row[1] = rows[next++].second;
        return true;
    });
    ASSERT_TRUE(put.ok) << put.error;
    ASSERT_TRUE(connection->Run("COMMIT").ok);
    EXPECT_EQ(put.changed, static_cast<int64_t>(rows.size()));
    struct Case
    {
        const char* select;
        size_t columns;
        bool ok;
        size_t rows;
    };
    const Case cases[] = {
        {"SELECT a, b FROM bulk", 2, true, rows.size()},
        {"SELECT a, b FROM bulk WHERE a > 0 AND a < 0", 2, true, 0},
        {"SELECT a, note FROM bulk", 2, false, 0},     // NULL is no integer
        {"SELECT a, 'x' FROM bulk LIMIT 1", 2, false, 0},  // nor is text
        {"SELECT a, b, a FROM bulk", 2, false, 0},     // more columns than asked
        {"SELECT a FROM no_such_table", 1, false, 0},
    };
    for (const auto& c : cases) {
        std::vector<std::pair<int64_t, int64_t>> read;
        CSqlResult got = connection->ReadIntegers(c.select, c.columns, [&](const int64_t* row) {
            read.emplace_back(row[0], c.columns > 1 ? row[1] : 0);
        });
        EXPECT_EQ(got.ok, c.ok) << c.select << ": " << got.error;
        if (c.ok) {
            EXPECT_EQ(read.size(), c.rows) << c.select;
        }
        // A failed read leaves the connection as usable as before.
        EXPECT_EQ(connection->Run("SELECT count(*) FROM bulk").rows.at(0).at(0), std::to_string(rows.size()))
            << c.select;
        if (c.rows == rows.size()) {
            std::sort(read.begin(), read.end());
            std::sort(rows.begin(), rows.end());
            EXPECT_EQ(read, rows);
        }
    }
}
