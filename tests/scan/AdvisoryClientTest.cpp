// The advisory client against a loopback server that answers as the component web server
// does, and as a hostile one might.
#include "AdvisoryClient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>

#include <nlohmann/json.hpp>

#include "CatalogueEntries.h"
#include "support/RecordingHttpServer.h"

using Json = nlohmann::json;
using Strings = std::vector<std::string>;

namespace
{
// One result per line; "org.vuln:lib" 1.0 is affected by one record and may be by another.
std::string Answer(const std::string& body, long long generation)
{
    Json results = Json::array();
    std::istringstream lines(body);
    for (std::string line; std::getline(lines, line);) {
        const std::string package = line.substr(0, line.find('\t')), version = line.substr(line.find('\t') + 1);
        Json result = {{"package", package}, {"version", version}, {"advisories", Json::array()},
                       {"unevaluable", Json::array()}};
        if (package == "org.vuln:lib" && version == "1.0") {
            result["advisories"].push_back(
                {{"id", "GHSA-aaaa-bbbb-cccc"}, {"aliases", {"CVE-2024-1", 7}}, {"summary", "<b>bad</b>"},
                 {"severity", "high"}, {"fixed", "1.1"}, {"evaluable", true},
                 {"ratings", {{{"method", "CVSSv31"}, {"vector", "CVSS:3.1/AV:N"}, {"score", 8.1}},
                              {{"method", "other"}, {"vector", "x"}, {"score", "9"}}, 3}}});
            result["unevaluable"].push_back({{"id", "OSV-2"}, {"severity", "catastrophic"}, {"summary", 12}});
        }
        results.push_back(result);
    }
    return Json{{"generation", generation}, {"records", 2}, {"results", results}}.dump();
}

class AdvisoryClientTest : public ::testing::Test
{
protected:
    AdvisoryClientTest()
    {
        m_server.Server().Post("/vantrel/advisories", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(m_mutex);
            m_bodies.push_back(req.body);
            m_types.push_back(req.get_header_value("Content-Type"));
            if (m_status != 200) {
                res.status = m_status;
                return;
            }
            res.set_content(m_answer ? m_answer(req.body) : Answer(req.body, 7), "application/json; charset=utf-8");
        });
        m_server.Server().Get("/xql.dll/components/vendors/components.bnd",
                              [](const httplib::Request& req, httplib::Response& res) {
                                  static const std::map<std::string, std::string> entries = {
                                      {"1", "<version>2.0</version><artifact>org.vuln:lib</artifact>"},
                                      {"2", "<version>3.0</version><artifact>org.other:lib</artifact>"},
                                      {"3", "<version>1.0</version><artifact>no-group</artifact>"}};
                                  res.set_content("<components><component SCID=\"" + req.get_param_value("scid") +
                                                      "\">" + entries.at(req.get_param_value("scid")) +
                                                      "</component></components>",
                                                  "text/xml");
                              });
        m_server.Start();
    }

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_server.Port()); }

    CRecordingHttpServer m_server;
    std::mutex m_mutex;
    Strings m_bodies, m_types;
    int m_status = 200;
    std::function<std::string(const std::string&)> m_answer;
};

std::string Text(const std::vector<CPackageVersion>& queries)
{
    std::string text;
    for (const CPackageVersion& query : queries)
        text += query.package + " " + query.version + "; ";
    return text;
}
}  // namespace

// One line per distinct package and version: a find's own version, each candidate of a set,
// the catalogue's when the classes told none; archives named by pom.properties; nothing
// for an entry without a group or an archive named otherwise.
TEST_F(AdvisoryClientTest, QueriesOnePerPackageAndVersionFound)
{
    CCatalogueEntries catalogue;
    std::string error;
    ASSERT_TRUE(catalogue.Fetch(Url(), {"1", "2", "3"}, error)) << error;
    CFind own("/a.jar", CMatch::Direct, 3), set("/b.jar", CMatch::Relocated, 3), bare("/c.jar", CMatch::Direct, 1);
    own.version = "1.0";
    set.candidates = {"1.0", "1.2"};
    const std::vector<CFoundComponent> found = {{"1", {own, set, own}}, {"2", {bare}}, {"3", {own}}};
    std::vector<CUnidentified> unidentified(4);
    unidentified[0] = {"/d.jar", false, "metadata", "org.meta", "core", "4.1", "core", "", "", 1};
    unidentified[1] = {"/e.jar", false, "manifest", "", "", "5.0", "Tool", "", "", 1};
    unidentified[2] = {"/f.jar", false, "metadata", "org.meta", "core", "4.1", "core", "", "", 1};
    unidentified[3] = {"/g.jar", false, "metadata", "org.evil", "x\ty", "1", "x", "", "", 1};
    EXPECT_EQ(Text(CAdvisoryClient::Queries(found, catalogue, unidentified)),
              "org.vuln:lib 1.0; org.vuln:lib 1.2; org.other:lib 3.0; org.meta:core 4.1; ");
}

// At most 20,000 lines a request, in order; the answers are read per package and version,
// with what the server gave of each record and nothing of a wrong type.
TEST_F(AdvisoryClientTest, AsksInChunksAndKeepsEachRecordOfTheAnswers)
{
    std::vector<CPackageVersion> queries;
    for (int i = 0; i < 20000; ++i)
        queries.push_back({"org.many:lib" + std::to_string(i), "1." + std::to_string(i)});
    queries.push_back({"org.vuln:lib", "1.0"});
    CAdvisoryClient client;
    std::string error;
    ASSERT_EQ(client.Fetch(Url(), queries, CTransferSettings{}, error), CAdvisoryClient::CResult::Answered) << error;
    ASSERT_EQ(m_bodies.size(), 2u);
    EXPECT_EQ(std::count(m_bodies[0].begin(), m_bodies[0].end(), '\n'), 20000);
    EXPECT_EQ(m_bodies[0].substr(0, 36), "org.many:lib0\t1.0\norg.many:lib1\t1.1\n");
    EXPECT_EQ(m_bodies[1], "org.vuln:lib\t1.0\n");
    // Long lines: no more than 2 MiB a request, and a line longer than that is not asked.
    const std::string longName(300 * 1024, 'n');
    std::vector<CPackageVersion> long_ = {{"org.x:" + longName, "1"}, {"org.x:y", std::string(3 * 1024 * 1024, '1')}};
    for (int i = 0; i < 7; ++i)
        long_.push_back({"org.x:" + longName + std::to_string(i), "1"});
    m_bodies.clear();
    ASSERT_EQ(CAdvisoryClient().Fetch(Url(), long_, CTransferSettings{}, error), CAdvisoryClient::CResult::Answered) << error;
    ASSERT_EQ(m_bodies.size(), 2u);
    EXPECT_EQ(std::count(m_bodies[0].begin(), m_bodies[0].end(), '\n'), 6);
    EXPECT_EQ(std::count(m_bodies[1].begin(), m_bodies[1].end(), '\n'), 2);
    EXPECT_EQ(m_bodies[0].find("org.x:y"), std::string::npos);
    EXPECT_EQ(m_types[1], "text/plain; charset=utf-8");
    EXPECT_TRUE(client.HasData());
    EXPECT_TRUE(client.Get("org.many:lib1", "1.1").empty());
    EXPECT_TRUE(client.Get("org.vuln:lib", "1.2").empty());
    const std::vector<CAdvisory>& found = client.Get("org.vuln:lib", "1.0");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].id, "GHSA-aaaa-bbbb-cccc");
    EXPECT_EQ(found[0].aliases, Strings{"CVE-2024-1"});
    EXPECT_EQ(found[0].summary, "<b>bad</b>");
    EXPECT_EQ(found[0].severity, "high");
    EXPECT_EQ(found[0].fixed, "1.1");
    EXPECT_TRUE(found[0].evaluable);
    ASSERT_EQ(found[0].ratings.size(), 2u);
    EXPECT_EQ(found[0].ratings[0].method + " " + found[0].ratings[0].vector, "CVSSv31 CVSS:3.1/AV:N");
    EXPECT_EQ(found[0].ratings[0].score, 8.1);
    EXPECT_FALSE(found[0].ratings[1].score.has_value());
    // A severity this client does not know is unknown, never harmless.
    EXPECT_EQ(found[1].id + " " + found[1].severity + " " + found[1].summary, "OSV-2 unknown ");
    EXPECT_FALSE(found[1].evaluable);
    EXPECT_TRUE(MeetsSeverity(found[1].severity, "critical"));
    EXPECT_TRUE(MeetsSeverity("high", "medium") && MeetsSeverity("high", "high"));
    EXPECT_FALSE(MeetsSeverity("medium", "high") || MeetsSeverity("none", "low"));
}

// No endpoint or no advisories is no data and no error; any other failure, and every answer
// that is not one (however large, deep or mistyped), is an error that names the server.
TEST_F(AdvisoryClientTest, NoDataIsNoErrorAndHostileAnswersAreBounded)
{
    const std::vector<CPackageVersion> queries = {{"org.vuln:lib", "1.0"}, {"org.b:c", "2"}};
    std::string many = R"({"generation":1,"results":[{"advisories":[)";
    for (int i = 0; i < 1500; ++i)
        many += (i ? "," : "") + std::string(R"({"id":"X-)") + std::to_string(i) + R"(","severity":"low"})";
    many += R"(]},{}]})";
    using R = CAdvisoryClient::CResult;
    struct Case
    {
        const char* name;
        int status;
        std::function<std::string(const std::string&)> answer;
        R result;
        std::string error;  // part of it
        size_t kept;        // advisories kept for the first query
    } cases[] = {
        {"no endpoint", 404, nullptr, R::NoData, "", 0},
        {"no advisories loaded", 200, [](const std::string& body) { return Answer(body, 0); }, R::NoData, "", 0},
        {"server error", 500, nullptr, R::Failed, "/vantrel/advisories: HTTP status 500", 0},
        {"not JSON", 200, [](const std::string&) { return "<html>"; }, R::Failed, "not a JSON object", 0},
        {"deep", 200, [](const std::string&) { return std::string(200000, '['); }, R::Failed, "nested more than", 0},
        {"no generation", 200, [](const std::string&) { return R"({"results":[]})"; }, R::Failed, "no advisory generation", 0},
        {"results of a wrong type", 200, [](const std::string&) { return R"({"generation":3,"results":"all"})"; },
         R::Failed, "no results", 0},
        {"too few results", 200, [](const std::string&) { return R"({"generation":3,"results":[{}]})"; }, R::Failed,
         "1 results for 2 queries", 0},
        {"a result not an object", 200, [](const std::string&) { return R"({"generation":3,"results":[{},[]]})"; },
         R::Failed, "result 2 is not an object", 0},
        {"another package", 200,
         [](const std::string&) { return R"({"generation":3,"results":[{"package":"org.x:y"},{}]})"; }, R::Failed,
         "answers org.x:y", 0},
        {"mistyped members", 200,
         [](const std::string&) {
             return R"({"generation":3,"results":[{"advisories":[1,{"id":5},{"id":"A","aliases":"B","ratings":{}}],
                       "unevaluable":"x"},{"advisories":null}]})";
         },
         R::Answered, "", 1},
        {"more advisories than kept", 200, [&](const std::string&) { return many; }, R::Answered, "", 1000},
        {"larger than allowed", 200, [](const std::string&) { return std::string(3 * 1024 * 1024, ' '); }, R::Failed,
         "larger than", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_status = c.status;
        m_answer = c.answer;
        CAdvisoryClient client;
        std::string error;
        CTransferSettings settings;
        settings.maxBytes = 2 * 1024 * 1024;
        EXPECT_EQ(client.Fetch(Url(), queries, settings, error), c.result);
        if (c.error.empty())
            EXPECT_EQ(error, "");
        else
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        EXPECT_EQ(client.HasData(), c.result == R::Answered);
        EXPECT_EQ(client.Get("org.vuln:lib", "1.0").size(), c.kept);
    }
}
