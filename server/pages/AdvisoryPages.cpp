#include "AdvisoryPages.h"

#include <libxml/tree.h>
#include <nlohmann/json.hpp>

#include "AdvisoryStore.h"
#include "CvssScore.h"
#include "GeneratedXml.h"
#include "HttpRouter.h"
#include "PageRenderer.h"
#include "ServerStore.h"
#include "Site.h"
#include "XmlCache.h"

namespace
{
using json = nlohmann::json;

// The CycloneDX names of a record's scoring methods.
std::string RatingMethod(const COsvSeverity& severity)
{
    if (severity.type == "CVSS_V3")
        return severity.score.rfind("CVSS:3.1/", 0) == 0 ? "CVSSv31" : "CVSSv3";
    if (severity.type == "CVSS_V4")
        return "CVSSv4";
    if (severity.type == "CVSS_V2")
        return "CVSSv2";
    return "other";
}

json AdvisoryJson(const COsvRecord& record, std::string_view package, const CMavenVersion& version, bool evaluable)
{
    json ratings = json::array();
    for (const COsvSeverity& severity : record.severity) {
        json rating = {{"method", RatingMethod(severity)}, {"vector", severity.score}};
        if (severity.type == "CVSS_V3")
            if (auto score = CvssV3BaseScore(severity.score))
                rating["score"] = *score;
        ratings.push_back(std::move(rating));
    }
    return {{"id", record.id},
            {"aliases", record.aliases},
            {"summary", record.summary},
            {"severity", SeverityLevelName(record.Severity())},
            {"ratings", std::move(ratings)},
            {"fixed", record.FixedAfter(package, version)},
            {"published", record.published},
            {"modified", record.modifiedText},
            {"evaluable", evaluable}};
}

// One question line: its package and version, or why it cannot be answered.
struct CQuery
{
    std::string package;
    std::string versionText;
    std::optional<CMavenVersion> version;
    std::string error;
};

CQuery ParseQuery(std::string_view line)
{
    CQuery query;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    const size_t tab = line.find('\t');
    if (tab == std::string_view::npos) {
        query.error = "not \"group:artifact<TAB>version\"";
        return query;
    }
    query.package = line.substr(0, tab);
    query.versionText = line.substr(tab + 1);
    const size_t colon = query.package.find(':');
    if (colon == 0 || colon == std::string::npos || colon + 1 == query.package.size())
        query.error = "the package is not group:artifact";
    else if (!(query.version = CMavenVersion::Parse(query.versionText)))
        query.error = "the version cannot be ordered";
    return query;
}
}  // namespace

void CAdvisoryPages::Register(CHttpRouter& router)
{
    router.Post("/vantrel/advisories",
                [this](const CHttpRequest& request, CHttpResponse& response) { Match(request, response); });
    router.Get("/components/view.jsp",
               [this](const CHttpRequest& request, CHttpResponse& response) { ProductPage(request, response); });
}

void CAdvisoryPages::Refresh()
{
    // A store that cannot be read just now leaves the records read before in use.
    std::string error;
    if (!m_cache.Refresh(error))
        m_store.LogFailure("reading the advisories", error);
}

std::string CAdvisoryPages::Answer(std::string_view body)
{
    Refresh();
    json answer;
    m_cache.Use([&](const CAdvisorySet& set, int64_t generation) {
        answer["generation"] = generation;
        answer["records"] = set.Size();
        json& results = answer["results"] = json::array();
        while (!body.empty()) {
            const size_t end = body.find('\n');
            const std::string_view line = body.substr(0, end);
            body = end == std::string_view::npos ? std::string_view() : body.substr(end + 1);
            CQuery query = ParseQuery(line);
            json result = {{"package", query.package},
                           {"version", query.versionText},
                           {"advisories", json::array()},
                           {"unevaluable", json::array()}};
            if (!query.error.empty()) {
                result["error"] = query.error;
            } else {
                CAdvisorySet::CMatch match = set.Match(query.package, *query.version);
                for (const COsvRecord* record : match.affecting)
                    result["advisories"].push_back(AdvisoryJson(*record, query.package, *query.version, true));
                for (const COsvRecord* record : match.unevaluable)
                    result["unevaluable"].push_back(AdvisoryJson(*record, query.package, *query.version, false));
            }
            results.push_back(std::move(result));
        }
    });
    return answer.dump(-1, ' ', false, json::error_handler_t::replace);
}

void CAdvisoryPages::Match(const CHttpRequest& request, CHttpResponse& response)
{
    if (request.body.size() > kMaxQueryBytes) {
        m_renderer.SendError(response, 413, "A question about advisories may carry at most 2 MiB.");
        return;
    }
    size_t lines = 0;
    for (char c : request.body)
        lines += c == '\n';
    if (lines + (!request.body.empty() && request.body.back() != '\n') > kMaxQueries) {
        m_renderer.SendError(response, 413, "A question about advisories may ask for at most 20000 versions.");
        return;
    }
    response.SetContent(Answer(request.body), "application/json; charset=utf-8");
}

// The catalogue's product page, with each version's advisories as /page/advisories beside a
// copy of the component: the style sheet lists them in the versions' table.
void CAdvisoryPages::ProductPage(const CHttpRequest& request, CHttpResponse& response)
{
    const CParameterList parameters = CPageRenderer::QueryParameters(request);
    const std::string scid = request.Parameter("prodid");
    auto path = m_site.ResolveFile(CSite::kCatalogue);
    std::string error;
    auto catalogue = path ? m_renderer.Documents().Get(*path, error) : nullptr;
    if (!catalogue) {
        m_renderer.RenderSiteDocument("pages/market-view.xsl", CSite::kCatalogue, parameters, response);
        return;
    }
    xmlNodePtr component = nullptr;
    for (xmlNodePtr node = xmlDocGetRootElement(catalogue->Doc())->children; node && !component; node = node->next)
        if (CParsedXml::IsElement(node, "component") && CParsedXml::Attribute(node, "SCID") == scid)
            component = node;
    CGeneratedXml page("page");
    if (!component) {
        m_renderer.Render("pages/market-view.xsl", page.Doc(), parameters, response);
        return;
    }
    page.AddCopy(page.Root(), component);
    std::string package;
    std::vector<std::string> versions;
    for (xmlNodePtr node = component->children; node; node = node->next) {
        if (CParsedXml::IsElement(node, "artifact"))
            package = CParsedXml::Text(node);
        if (CParsedXml::IsElement(node, "versions"))
            for (xmlNodePtr version = node->children; version; version = version->next)
                if (CParsedXml::IsElement(version, "version"))
                    versions.push_back(CParsedXml::Attribute(version, "name"));
    }
    xmlNodePtr advisories = page.Add(page.Root(), "advisories");
    Refresh();
    m_cache.Use([&](const CAdvisorySet& set, int64_t) {
        for (const std::string& text : versions) {
            auto version = CMavenVersion::Parse(text);
            if (!version)
                continue;
            CAdvisorySet::CMatch match = set.Match(package, *version);
            for (const auto* list : {&match.affecting, &match.unevaluable}) {
                for (const COsvRecord* record : *list) {
                    xmlNodePtr advisory = page.Add(advisories, "advisory", record->summary);
                    page.SetAttribute(advisory, "version", text);
                    page.SetAttribute(advisory, "id", record->id);
                    page.SetAttribute(advisory, "severity", std::string(SeverityLevelName(record->Severity())));
                    page.SetAttribute(advisory, "fixed", record->FixedAfter(package, *version));
                    std::string aliases;
                    for (const std::string& alias : record->aliases)
                        aliases += (aliases.empty() ? "" : ", ") + alias;
                    page.SetAttribute(advisory, "aliases", aliases);
                    if (list == &match.unevaluable)
                        page.SetAttribute(advisory, "unevaluable", "true");
                }
            }
        }
    });
    m_renderer.Render("pages/market-view.xsl", page.Doc(), parameters, response);
}
