#include "AdvisoryPages.h"

#include <cstdio>
#include <unordered_map>

#include <libxml/tree.h>

#include "AdvisoryStore.h"
#include "CleanText.h"
#include "CvssScore.h"
#include "GeneratedXml.h"
#include "HttpRouter.h"
#include "PageRenderer.h"
#include "ServerStore.h"
#include "Site.h"
#include "XmlCache.h"

namespace
{
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

// JSON text written straight into the answer: a question of 20,000 versions is answered
// without a document of hundreds of thousands of nodes. Texts must be valid UTF-8: the
// records' are (the reader took them as JSON), the question's are cleaned first; only
// quotes, backslashes and control characters need escaping.
void AppendString(std::string& out, std::string_view text)
{
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

void AppendStrings(std::string& out, const std::vector<std::string>& texts)
{
    out += '[';
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i)
            out += ',';
        AppendString(out, texts[i]);
    }
    out += ']';
}

// What an advisory says whatever the version asked: everything but "fixed" and "evaluable",
// as the opening of its object.
std::string RecordFields(const COsvRecord& record)
{
    std::string out = "{\"id\":";
    AppendString(out, record.id);
    out += ",\"aliases\":";
    AppendStrings(out, record.aliases);
    out += ",\"summary\":";
    AppendString(out, record.summary);
    out += ",\"severity\":";
    AppendString(out, SeverityLevelName(record.Severity()));
    out += ",\"ratings\":[";
    for (size_t i = 0; i < record.severity.size(); ++i) {
        const COsvSeverity& severity = record.severity[i];
        out += i ? ",{\"method\":" : "{\"method\":";
        AppendString(out, RatingMethod(severity));
        out += ",\"vector\":";
        AppendString(out, severity.score);
        if (severity.type == "CVSS_V3")
            if (auto score = CvssV3BaseScore(severity.score)) {
                char number[16];
                std::snprintf(number, sizeof number, "%.1f", *score);
                out += ",\"score\":";
                out += number;
            }
        out += '}';
    }
    out += "],\"published\":";
    AppendString(out, record.published);
    out += ",\"modified\":";
    AppendString(out, record.modifiedText);
    return out;
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
    std::string answer;
    m_cache.Use([&](const CAdvisorySet& set, int64_t generation) {
        answer = "{\"generation\":" + std::to_string(generation) + ",\"records\":" + std::to_string(set.Size()) +
                 ",\"results\":[";
        // Records stay put while the set is in use: one text each for the whole answer.
        std::unordered_map<const COsvRecord*, std::string> fields;
        bool first = true;
        while (!body.empty()) {
            const size_t end = body.find('\n');
            const std::string_view line = body.substr(0, end);
            body = end == std::string_view::npos ? std::string_view() : body.substr(end + 1);
            const CQuery query = ParseQuery(line);
            answer += first ? "{\"package\":" : ",{\"package\":";
            first = false;
            AppendString(answer, CleanText(query.package));
            answer += ",\"version\":";
            AppendString(answer, CleanText(query.versionText));
            CAdvisorySet::CMatch match;
            if (!query.error.empty()) {
                answer += ",\"error\":";
                AppendString(answer, query.error);
            } else {
                match = set.Match(query.package, *query.version);
            }
            for (const auto* list : {&match.affecting, &match.unevaluable}) {
                answer += list == &match.affecting ? ",\"advisories\":[" : ",\"unevaluable\":[";
                for (size_t i = 0; i < list->size(); ++i) {
                    const COsvRecord* record = (*list)[i];
                    auto [known, added] = fields.try_emplace(record);
                    if (added)
                        known->second = RecordFields(*record);
                    if (i)
                        answer += ',';
                    answer += known->second;
                    answer += ",\"fixed\":";
                    AppendString(answer, record->FixedAfter(query.package, *query.version));
                    answer += list == &match.affecting ? ",\"evaluable\":true}" : ",\"evaluable\":false}";
                }
                answer += ']';
            }
            answer += '}';
        }
        answer += "]}";
    });
    return answer;
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
