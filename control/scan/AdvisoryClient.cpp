#include "AdvisoryClient.h"

#include <algorithm>
#include <set>

#include <nlohmann/json.hpp>

#include "CatalogueEntries.h"
#include "MavenVersion.h"

namespace
{
using Json = nlohmann::json;

// The answer's shape goes six levels deep; anything much deeper is not an answer.
constexpr int kMaxDepth = 16;
constexpr size_t kMaxAliases = 100;
constexpr size_t kMaxRatings = 20;

const char* const kSeverities[] = {"none", "low", "medium", "high", "critical"};

// A member of an object as text; "" when missing or not a string.
std::string Text(const Json& object, const char* key)
{
    const auto member = object.find(key);
    return member != object.end() && member->is_string() ? member->get<std::string>() : std::string();
}

std::vector<std::string> Texts(const Json& object, const char* key, size_t limit)
{
    std::vector<std::string> texts;
    const auto member = object.find(key);
    if (member == object.end() || !member->is_array())
        return texts;
    for (const Json& item : *member) {
        if (texts.size() == limit)
            break;
        if (item.is_string())
            texts.push_back(item.get<std::string>());
    }
    return texts;
}

CAdvisory ReadAdvisory(const Json& record, bool evaluable)
{
    CAdvisory advisory;
    advisory.id = Text(record, "id");
    advisory.aliases = Texts(record, "aliases", kMaxAliases);
    advisory.summary = Text(record, "summary");
    // A severity this client does not know is treated as unknown, never as harmless.
    advisory.severity = Text(record, "severity");
    if (SeverityRank(advisory.severity) < 0)
        advisory.severity = "unknown";
    advisory.fixed = Text(record, "fixed");
    advisory.evaluable = evaluable;
    if (const auto ratings = record.find("ratings"); ratings != record.end() && ratings->is_array()) {
        for (const Json& rating : *ratings) {
            if (advisory.ratings.size() == kMaxRatings)
                break;
            if (!rating.is_object())
                continue;
            CAdvisoryRating read{Text(rating, "method"), Text(rating, "vector"), std::nullopt};
            if (const auto score = rating.find("score"); score != rating.end() && score->is_number()) {
                const double value = score->get<double>();
                if (value >= 0 && value <= 10)
                    read.score = value;
            }
            advisory.ratings.push_back(std::move(read));
        }
    }
    return advisory;
}

// The advisories of one result: those affecting the version, then those the server cannot
// evaluate, at most kMaxAdvisoriesPerResult in all. Records without an id are dropped.
std::vector<CAdvisory> ReadResult(const Json& result)
{
    std::vector<CAdvisory> advisories;
    for (const auto& [key, evaluable] : {std::pair{"advisories", true}, std::pair{"unevaluable", false}}) {
        const auto list = result.find(key);
        if (list == result.end() || !list->is_array())
            continue;
        for (const Json& record : *list) {
            if (advisories.size() == CAdvisoryClient::kMaxAdvisoriesPerResult)
                return advisories;
            if (record.is_object() && !Text(record, "id").empty())
                advisories.push_back(ReadAdvisory(record, evaluable));
        }
    }
    return advisories;
}

// Far more values than the answer's size allows of real records (a value takes more than
// eight bytes of them); a document of millions of tiny values would take far more memory
// than its bytes.
constexpr size_t kMaxValues = 8 * 1024 * 1024;

// Stops a parse at the first value nested deeper than kMaxDepth, or past kMaxValues, before
// any document is built: a hostile answer costs neither memory nor stack.
class CShapeCheck : public nlohmann::json_sax<Json>
{
public:
    bool null() override { return Value(); }
    bool boolean(bool) override { return Value(); }
    bool number_integer(number_integer_t) override { return Value(); }
    bool number_unsigned(number_unsigned_t) override { return Value(); }
    bool number_float(number_float_t, const string_t&) override { return Value(); }
    bool string(string_t&) override { return Value(); }
    bool binary(binary_t&) override { return Value(); }
    bool start_object(std::size_t) override { return Enter(); }
    bool key(string_t&) override { return true; }
    bool end_object() override { return Leave(); }
    bool start_array(std::size_t) override { return Enter(); }
    bool end_array() override { return Leave(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

    // Empty when the shape is within bounds (the syntax is the parser's to judge).
    const std::string& Problem() const { return m_problem; }

private:
    bool Value()
    {
        if (++m_values <= kMaxValues)
            return true;
        m_problem = "the answer holds more than " + std::to_string(kMaxValues) + " values";
        return false;
    }
    bool Enter()
    {
        if (++m_depth <= kMaxDepth)
            return Value();
        m_problem = "the answer is nested more than " + std::to_string(kMaxDepth) + " levels deep";
        return false;
    }
    bool Leave()
    {
        --m_depth;
        return true;
    }

    int m_depth = 0;
    size_t m_values = 0;
    std::string m_problem;
};

// The memory answer of one request.
class CAnswerSink : public ITransferSink
{
public:
    bool OnBody(std::string_view data, std::string&) override
    {
        m_body.append(data);
        return true;
    }
    const std::string& Body() const { return m_body; }

private:
    std::string m_body;
};
}  // namespace

int SeverityRank(const std::string& severity)
{
    for (int rank = 0; rank < static_cast<int>(std::size(kSeverities)); ++rank)
        if (severity == kSeverities[rank])
            return rank;
    return -1;
}

bool MeetsSeverity(const std::string& severity, const std::string& threshold)
{
    const int rank = SeverityRank(severity);
    return rank < 0 || rank >= SeverityRank(threshold);
}

std::string CAdvisoryClient::Package(const CCatalogueEntries& catalogue, const std::string& scid)
{
    const std::string artifact = catalogue.GetField(scid, "artifact");
    const size_t colon = artifact.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == artifact.size())
        return {};
    return artifact;
}

std::string CAdvisoryClient::Package(const CUnidentified& archive)
{
    if (archive.match != "metadata" || archive.group.empty() || archive.artifact.empty() || archive.version.empty())
        return {};
    return archive.group + ":" + archive.artifact;
}

CFind CAdvisoryClient::ArchiveFind(const CUnidentified& archive)
{
    CFind find(archive.path, archive.nested ? CMatch::Nested : CMatch::Direct, archive.classes);
    find.version = archive.version;
    return find;
}

std::vector<std::string> CAdvisoryClient::FindVersions(const CFind& find, const std::string& catalogued)
{
    if (!find.version.empty())
        return {find.version};
    if (!find.candidates.empty())
        return find.candidates;
    if (!catalogued.empty())
        return {catalogued};
    return {};
}

std::vector<CPackageVersion> CAdvisoryClient::Queries(const std::vector<CFoundComponent>& found,
                                                      const CCatalogueEntries& catalogue,
                                                      const std::vector<CUnidentified>& unidentified)
{
    std::vector<CPackageVersion> queries;
    std::set<CPackageVersion> asked;
    auto add = [&](const std::string& package, const std::string& version) {
        // A line holds one query: a package or version with a line break or tab in it cannot be one.
        if (package.find_first_of("\t\r\n") != std::string::npos || version.find_first_of("\t\r\n") != std::string::npos)
            return;
        if (asked.insert({package, version}).second)
            queries.push_back({package, version});
    };
    for (const CFoundComponent& component : found) {
        const std::string package = Package(catalogue, component.scid);
        if (package.empty())
            continue;
        const std::string catalogued = catalogue.GetField(component.scid, "version");
        for (const CFind& find : component.finds)
            for (const std::string& version : FindVersions(find, catalogued))
                add(package, version);
    }
    for (const CUnidentified& unit : unidentified)
        if (const std::string package = Package(unit); !package.empty())
            add(package, unit.version);
    return queries;
}

std::string CAdvisoryClient::AdvisoriesUrl(const std::string& webServer) { return webServer + "/vantrel/advisories"; }

CAdvisoryClient::CResult CAdvisoryClient::Fetch(const std::string& webServer,
                                                const std::vector<CPackageVersion>& queries,
                                                CTransferSettings settings, std::string& error)
{
    m_generation = 0;
    m_advisories.clear();
    error.clear();
    settings.maxBytes = std::min(settings.maxBytes, kMaxAnswerBytes);
    CHttpTransfer transfer;
    for (size_t next = 0; next < queries.size();) {
        // As many lines as the server takes in one request, by count and by bytes; a line
        // that alone is longer than a request may be names nothing real and is not asked.
        std::vector<CPackageVersion> asked;
        std::string body;
        for (; next < queries.size() && asked.size() < kMaxLinesPerRequest; ++next) {
            const std::string line = queries[next].package + "\t" + queries[next].version + "\n";
            if (line.size() > kMaxBytesPerRequest)
                continue;
            if (body.size() + line.size() > kMaxBytesPerRequest)
                break;
            body += line;
            asked.push_back(queries[next]);
        }
        if (asked.empty())
            continue;
        CTransferRequest request;
        request.url = AdvisoriesUrl(webServer);
        request.postBody = &body;
        request.contentType = "text/plain; charset=utf-8";
        request.acceptEncoding = "gzip";
        CAnswerSink sink;
        std::string failure;
        if (!transfer.Perform(request, settings, sink, failure)) {
            // A server from before advisories: the scan goes on as it always did.
            if (transfer.GetStatus() == 404) {
                m_generation = 0;
                m_advisories.clear();
                return CResult::NoData;
            }
            error = request.url + ": " + failure;
            m_advisories.clear();
            m_generation = 0;
            return CResult::Failed;
        }
        if (!ReadAnswer(sink.Body(), asked, failure)) {
            error = request.url + ": " + failure;
            m_advisories.clear();
            m_generation = 0;
            return CResult::Failed;
        }
        if (!HasData()) {
            m_advisories.clear();
            return CResult::NoData;
        }
    }
    return HasData() ? CResult::Answered : CResult::NoData;
}

bool CAdvisoryClient::ReadAnswer(std::string_view body, const std::vector<CPackageVersion>& asked, std::string& error)
{
    CShapeCheck shape;
    Json::sax_parse(body.begin(), body.end(), &shape, Json::input_format_t::json, false);
    if (!shape.Problem().empty()) {
        error = shape.Problem();
        return false;
    }
    const Json answer = Json::parse(body.begin(), body.end(), nullptr, false);
    if (answer.is_discarded() || !answer.is_object()) {
        error = "the answer is not a JSON object";
        return false;
    }
    const auto generation = answer.find("generation");
    if (generation == answer.end() || !generation->is_number_integer() || generation->get<long long>() < 0) {
        error = "the answer has no advisory generation";
        return false;
    }
    const auto results = answer.find("results");
    if (results == answer.end() || !results->is_array()) {
        error = "the answer has no results";
        return false;
    }
    const long long read = generation->get<long long>();
    if (read == 0) {
        // No advisories loaded: whatever the results say, nothing is known.
        m_generation = 0;
        return true;
    }
    if (results->size() != asked.size()) {
        error = "the answer has " + std::to_string(results->size()) + " results for " + std::to_string(asked.size()) +
                " queries";
        return false;
    }
    for (size_t i = 0; i < asked.size(); ++i) {
        const Json& result = (*results)[i];
        if (!result.is_object()) {
            error = "result " + std::to_string(i + 1) + " is not an object";
            return false;
        }
        // One result per line in the order asked: one that names another package is no answer to it.
        const std::string package = Text(result, "package"), version = Text(result, "version");
        if ((!package.empty() && package != asked[i].package) || (!version.empty() && version != asked[i].version)) {
            error = "result " + std::to_string(i + 1) + " answers " + package + " " + version + ", not " +
                    asked[i].package + " " + asked[i].version;
            return false;
        }
        std::vector<CAdvisory> advisories = ReadResult(result);
        if (!advisories.empty())
            m_advisories[asked[i]] = std::move(advisories);
    }
    m_generation = read;
    return true;
}

const std::vector<CAdvisory>& CAdvisoryClient::Get(const std::string& package, const std::string& version) const
{
    static const std::vector<CAdvisory> none;
    const auto found = m_advisories.find({package, version});
    return found == m_advisories.end() ? none : found->second;
}

std::vector<CAffectingAdvisory> CAdvisoryClient::Affecting(const std::string& package, const std::vector<CFind>& finds,
                                                           const std::string& catalogued) const
{
    std::vector<CAffectingAdvisory> affecting;
    if (package.empty())
        return affecting;
    auto addOnce = [](std::vector<std::string>& list, const std::string& value) {
        if (!value.empty() && std::find(list.begin(), list.end(), value) == list.end())
            list.push_back(value);
    };
    for (const CFind& find : finds) {
        for (const std::string& version : FindVersions(find, catalogued)) {
            for (const CAdvisory& advisory : Get(package, version)) {
                auto known = std::find_if(affecting.begin(), affecting.end(),
                                          [&](const CAffectingAdvisory& a) { return a.advisory.id == advisory.id; });
                if (known == affecting.end())
                    known = affecting.insert(affecting.end(), {advisory, {}, {}, {}});
                addOnce(known->versions, version);
                addOnce(known->fixed, advisory.fixed);
                addOnce(known->paths, find.path);
            }
        }
    }
    return affecting;
}

std::string MostSevere(const std::vector<CAffectingAdvisory>& advisories)
{
    int rank = -1;
    for (const CAffectingAdvisory& affecting : advisories)
        rank = std::max(rank, SeverityRank(affecting.advisory.severity));
    return rank < 0 ? "unknown" : kSeverities[rank];
}

std::string FixedVersion(const CAffectingAdvisory& advisory)
{
    std::string highest;
    std::optional<CMavenVersion> highestVersion;
    for (const std::string& fixed : advisory.fixed) {
        const std::optional<CMavenVersion> version = CMavenVersion::Parse(fixed);
        if (highest.empty() || (version && (!highestVersion || *version > *highestVersion))) {
            highest = fixed;
            highestVersion = version;
        }
    }
    return highest;
}
