#include "ReportFormats.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <random>

#include <nlohmann/json.hpp>

#include "FileDigest.h"
#include "UrlFetch.h"

namespace
{
using Json = nlohmann::ordered_json;

// Columns are measured in characters, not bytes, so names with accents line up.
size_t DisplayWidth(const std::string& text)
{
    return static_cast<size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string Pad(const std::string& text, size_t width, bool right = false)
{
    const size_t length = DisplayWidth(text);
    const std::string fill(width > length ? width - length : 0, ' ');
    return right ? fill + text : text + fill;
}

Json OrNull(const std::string& text) { return text.empty() ? Json() : Json(text); }

// Paths are bytes; a name that is not UTF-8 gets replacement characters rather than
// making the document invalid.
std::string Dump(const Json& json) { return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n"; }
}  // namespace

namespace
{
std::string Joined(const std::vector<std::string>& values, const char* separator)
{
    std::string text;
    for (const std::string& value : values)
        text += (text.empty() ? "" : separator) + value;
    return text;
}

// "  vulnerable: GHSA-... (CVE-...), high, fixed in 1.2.5", and for a find whose version is
// one of several candidates, which of them the record affects.
std::vector<std::string> AdvisoryLines(const std::vector<CAffectingAdvisory>& advisories, const std::vector<CFind>& finds)
{
    std::vector<std::string> lines;
    for (const CAffectingAdvisory& affecting : advisories) {
        const CAdvisory& record = affecting.advisory;
        std::string line = std::string("  ") + (record.evaluable ? "vulnerable: " : "may be vulnerable: ") + record.id;
        if (!record.aliases.empty())
            line += " (" + Joined(record.aliases, ", ") + ")";
        line += ", " + record.severity;
        const std::string fixed = FixedVersion(affecting);
        line += fixed.empty() ? ", no fixed version known" : ", fixed in " + fixed;
        if (!record.evaluable)
            line += ", its affected versions cannot be evaluated";
        std::vector<std::string> sets;
        for (const CFind& find : finds) {
            if (find.candidates.empty())
                continue;
            std::vector<std::string> hit;
            for (const std::string& candidate : find.candidates)
                if (std::find(affecting.versions.begin(), affecting.versions.end(), candidate) != affecting.versions.end())
                    hit.push_back(candidate);
            const std::string set = "affects " + Joined(hit, " and ") + " of " + VersionText(find);
            if (!hit.empty() && std::find(sets.begin(), sets.end(), set) == sets.end())
                sets.push_back(set);
        }
        for (const std::string& set : sets)
            line += "; " + set;
        lines.push_back(line);
    }
    return lines;
}
}  // namespace

std::string FormatTable(const std::vector<CReportedComponent>& components, const std::vector<CUnidentified>& unidentified,
                        const CAdvisoryClient* advisories)
{
    if (components.empty() && unidentified.empty())
        return "No known components found.\n";
    const std::vector<std::string> header = {"COMPONENT", "VERSION", "BASIS", "MATCH", "CLASSES", "WHERE"};
    // A row of one cell is a line of its own (an advisory), outside the columns.
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> warnings;
    for (const CReportedComponent& component : components) {
        bool first = true;
        for (const CFind& find : component.finds) {
            rows.push_back({first ? component.name : "", VersionText(find), VersionBasisName(find.basis),
                            MatchName(find.match), std::to_string(find.classes), find.path});
            first = false;
            for (const std::string& warning : FindWarnings(find))
                warnings.push_back("warning: " + find.path + ": " + warning);
        }
        for (const std::string& line : AdvisoryLines(component.advisories, component.finds))
            rows.push_back({line});
    }
    for (const CUnidentified& archive : unidentified) {
        rows.push_back({archive.name.empty() ? "-" : archive.name, archive.version,
                        archive.version.empty() ? "" : archive.match, archive.match, std::to_string(archive.classes),
                        archive.path});
        if (advisories)
            for (const std::string& line : AdvisoryLines(ArchiveAdvisories(archive, *advisories), {}))
                rows.push_back({line});
    }
    std::vector<size_t> widths;
    for (const std::string& title : header)
        widths.push_back(DisplayWidth(title));
    for (const auto& row : rows)
        for (size_t column = 0; row.size() > 1 && column < row.size(); ++column)
            widths[column] = std::max(widths[column], DisplayWidth(row[column]));

    std::string table;
    auto line = [&](const std::vector<std::string>& cells) {
        std::string text;
        for (size_t column = 0; column + 1 < cells.size(); ++column)
            text += Pad(cells[column], widths[column], column == 4) + "  ";
        text += cells.back();
        table += text + "\n";
    };
    line(header);
    for (const auto& row : rows)
        line(row);
    for (const std::string& warning : warnings)
        table += warning + "\n";
    return table;
}

namespace
{
Json FindJson(const std::string& path, const std::string& match, size_t classes, const std::string& version,
              const char* basis, const std::vector<std::string>& candidates, const std::vector<std::string>& warnings,
              const std::string& sha1, const std::string& sha256)
{
    return {{"path", path},
            {"match", match},
            {"classes", classes},
            {"version", OrNull(version)},
            {"basis", basis ? Json(basis) : Json()},
            {"candidates", candidates},
            {"warnings", warnings},
            {"sha1", OrNull(sha1)},
            {"sha256", OrNull(sha256)}};
}

std::string Coordinates(const CUnidentified& archive)
{
    return archive.group.empty() || archive.artifact.empty() ? "" : archive.group + ":" + archive.artifact;
}
}  // namespace

namespace
{
Json AdvisoriesJson(const std::vector<CAffectingAdvisory>& advisories)
{
    Json list = Json::array();
    for (const CAffectingAdvisory& affecting : advisories) {
        const CAdvisory& record = affecting.advisory;
        Json ratings = Json::array();
        for (const CAdvisoryRating& rating : record.ratings)
            ratings.push_back({{"method", rating.method},
                               {"vector", OrNull(rating.vector)},
                               {"score", rating.score ? Json(*rating.score) : Json()}});
        list.push_back({{"id", record.id},
                        {"aliases", record.aliases},
                        {"summary", OrNull(record.summary)},
                        {"severity", record.severity},
                        {"ratings", ratings},
                        {"fixed", OrNull(FixedVersion(affecting))},
                        {"evaluable", record.evaluable},
                        {"versions", affecting.versions}});
    }
    return list;
}
}  // namespace

std::string FormatJson(const std::vector<CReportedComponent>& components, const std::vector<CUnidentified>& unidentified,
                       const CAdvisoryClient* advisories)
{
    Json list = Json::array();
    for (const CReportedComponent& component : components) {
        Json finds = Json::array();
        for (const CFind& find : component.finds)
            finds.push_back(FindJson(find.path, MatchName(find.match), find.classes, find.version,
                                     VersionBasisName(find.basis), find.candidates, FindWarnings(find), "", ""));
        list.push_back({{"scid", component.scid},
                        {"name", component.name},
                        {"version", OrNull(component.version)},
                        {"vendor", OrNull(component.vendor)},
                        {"artifact", OrNull(component.artifact)},
                        {"purl", OrNull(component.purl)},
                        {"finds", finds}});
        if (advisories)
            list.back()["advisories"] = AdvisoriesJson(component.advisories);
    }
    for (const CUnidentified& archive : unidentified) {
        const char* basis = archive.version.empty() ? nullptr : archive.match.c_str();
        list.push_back({{"scid", nullptr},
                        {"name", OrNull(archive.name)},
                        {"version", OrNull(archive.version)},
                        {"vendor", nullptr},
                        {"artifact", OrNull(Coordinates(archive))},
                        {"purl", OrNull(MavenPurl(archive.group, archive.artifact, archive.version))},
                        {"finds", Json::array({FindJson(archive.path, archive.match, archive.classes, archive.version,
                                                        basis, {}, {}, archive.sha1, archive.sha256)})}});
        if (advisories)
            list.back()["advisories"] = AdvisoriesJson(ArchiveAdvisories(archive, *advisories));
    }
    return Dump(list);
}

namespace
{
Json Method(const char* technique, double confidence, const std::string& value)
{
    return {{"technique", technique}, {"confidence", confidence}, {"value", value}};
}

// How one find established the component and its version, as identity evidence methods.
void AddMethods(const CFind& find, Json& methods)
{
    if (find.basis == CVersionBasis::Fingerprints) {
        const bool exact = find.candidates.empty();
        methods.push_back(Method("hash-comparison", exact ? 1.0 : 0.7,
                                 "class fingerprints of " + VersionText(find) + " in " + find.path));
    } else {
        methods.push_back(Method("binary-analysis", 0.6,
                                 std::to_string(find.classes) + " catalogued class names in " + find.path));
    }
    if (!find.claimedVersion.empty())
        methods.push_back(Method(find.claimedBy == "file name" ? "filename" : "manifest-analysis", 0.1,
                                 find.claimedBy + " names version " + find.claimedVersion + ", not the classes' one"));
}

Json Identity(const std::string& field, const Json& methods)
{
    double confidence = 0;
    for (const Json& method : methods)
        confidence = std::max(confidence, method["confidence"].get<double>());
    return {{"field", field}, {"confidence", confidence}, {"methods", methods}};
}

Json Hashes(const std::string& sha1, const std::string& sha256)
{
    Json hashes = Json::array();
    if (!sha1.empty())
        hashes.push_back({{"alg", "SHA-1"}, {"content", sha1}});
    if (!sha256.empty())
        hashes.push_back({{"alg", "SHA-256"}, {"content", sha256}});
    return hashes;
}

// The places of a component that give one version, in the order found.
struct CVersionGroup
{
    std::string version;  // VersionText of its finds
    std::vector<const CFind*> finds;
};

std::vector<CVersionGroup> GroupByVersion(const CReportedComponent& component)
{
    std::vector<CVersionGroup> groups;
    for (const CFind& find : component.finds) {
        const std::string version = VersionText(find);
        auto group = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.version == version; });
        if (group == groups.end())
            group = groups.insert(groups.end(), {version, {}});
        group->finds.push_back(&find);
    }
    return groups;
}

std::string ComponentRef(const CReportedComponent& component, const CVersionGroup& group, bool alone)
{
    return "scid:" + component.scid + (alone ? "" : "@" + group.version);
}

std::string ArchiveRef(const CUnidentified& archive)
{
    return "archive:" + Sha1AndSha256OfBytes(archive.path).sha256.substr(0, 32);
}

Json ComponentBom(const CReportedComponent& component, const CVersionGroup& group, bool alone)
{
    // One version per BOM component: a component found in several versions is listed once for each.
    const CFind& first = *group.finds.front();
    const std::string version = first.candidates.empty() ? first.version : "";
    const std::string purl = component.artifactId.empty() ? "" : MavenPurl(component.group, component.artifactId, version);
    Json bomComponent = {{"type", "library"}, {"bom-ref", ComponentRef(component, group, alone)}};
    if (!component.vendor.empty())
        bomComponent["publisher"] = component.vendor;
    if (!component.group.empty())
        bomComponent["group"] = component.group;
    // BOM consumers match name, group and version as the purl gives them, so the name is
    // the artifact's own; the catalogue's title stays as a property.
    bomComponent["name"] = purl.empty() ? component.name : component.artifactId;
    if (!version.empty())
        bomComponent["version"] = version;
    if (!component.description.empty())
        bomComponent["description"] = component.description;
    if (Json hashes = Hashes(component.sha1, component.sha256); !hashes.empty())
        bomComponent["hashes"] = hashes;
    if (!purl.empty())
        bomComponent["purl"] = purl;

    Json occurrences = Json::array(), methods = Json::array();
    Json properties = Json::array({{{"name", "corvane:scid"}, {"value", component.scid}}});
    if (!component.title.empty())
        properties.push_back({{"name", "corvane:title"}, {"value", component.title}});
    for (const std::string& candidate : first.candidates)
        properties.push_back({{"name", "corvane:candidate"}, {"value", candidate}});
    std::vector<std::string> locations;
    for (const CFind* find : group.finds) {
        if (std::find(locations.begin(), locations.end(), find->path) == locations.end()) {
            locations.push_back(find->path);
            occurrences.push_back({{"location", find->path}});
        }
        AddMethods(*find, methods);
        // How each place matched: "direct 12 /lib/a.jar", the path last.
        properties.push_back({{"name", "corvane:found"},
                              {"value", std::string(MatchName(find->match)) + " " + std::to_string(find->classes) + " " +
                                            find->path}});
    }
    bomComponent["evidence"] = {{"identity", Identity(purl.empty() ? "name" : "purl", methods)},
                                {"occurrences", occurrences}};
    bomComponent["properties"] = properties;
    return bomComponent;
}

std::string OsvUrl(const std::string& id) { return "https://osv.dev/vulnerability/" + EncodeUrlComponent(id); }

// CycloneDX 1.5 knows these rating methods; the server's others are "other".
std::string RatingMethod(const std::string& method)
{
    for (const char* known : {"CVSSv2", "CVSSv3", "CVSSv31", "CVSSv4", "OWASP", "SSVC"})
        if (method == known)
            return method;
    return "other";
}

// One record as it bears on one component: the BOM components of the affected versions
// (refs with the versions each stands for), rated, described, and the way out.
Json VulnerabilityBom(const CAffectingAdvisory& affecting, const std::string& owner,
                      const std::vector<std::pair<std::string, std::vector<std::string>>>& refs)
{
    const CAdvisory& record = affecting.advisory;
    Json vulnerability = {{"bom-ref", "vulnerability:" + record.id + ":" + owner},
                          {"id", record.id},
                          {"source", {{"name", "OSV"}, {"url", OsvUrl(record.id)}}}};
    Json references = Json::array();
    for (const std::string& alias : record.aliases)
        references.push_back({{"id", alias}, {"source", {{"name", "OSV"}, {"url", OsvUrl(alias)}}}});
    if (!references.empty())
        vulnerability["references"] = references;
    Json ratings = Json::array();
    for (const CAdvisoryRating& rating : record.ratings) {
        Json rated = {{"method", RatingMethod(rating.method)}, {"severity", record.severity}};
        if (!rating.vector.empty())
            rated["vector"] = rating.vector;
        if (rating.score)
            rated["score"] = *rating.score;
        ratings.push_back(rated);
    }
    if (ratings.empty())
        ratings.push_back({{"severity", record.severity}});
    vulnerability["ratings"] = ratings;
    if (!record.summary.empty())
        vulnerability["description"] = record.summary;
    const std::string fixed = FixedVersion(affecting);
    vulnerability["recommendation"] =
        fixed.empty() ? "No fixed version is known." : "Upgrade to version " + fixed + " or later.";
    Json affects = Json::array();
    for (const auto& [ref, versions] : refs) {
        Json states = Json::array();
        for (const std::string& version : versions)
            if (std::find(affecting.versions.begin(), affecting.versions.end(), version) != affecting.versions.end())
                states.push_back({{"version", version}, {"status", record.evaluable ? "affected" : "unknown"}});
        if (!states.empty())
            affects.push_back({{"ref", ref}, {"versions", states}});
    }
    vulnerability["affects"] = affects;
    return vulnerability;
}

// An archive no component was found in, named by its path's hash since nothing else is sure.
Json ArchiveBom(const CUnidentified& archive)
{
    const std::string purl = MavenPurl(archive.group, archive.artifact, archive.version);
    std::string name = archive.name;
    if (name.empty())
        name = archive.path.substr(archive.path.find_last_of("/!") + 1);
    Json bomComponent = {{"type", "library"}, {"bom-ref", ArchiveRef(archive)}};
    if (!archive.group.empty())
        bomComponent["group"] = archive.group;
    bomComponent["name"] = name;
    if (!archive.version.empty())
        bomComponent["version"] = archive.version;
    if (Json hashes = Hashes(archive.sha1, archive.sha256); !hashes.empty())
        bomComponent["hashes"] = hashes;
    if (!purl.empty())
        bomComponent["purl"] = purl;
    Json evidence = {{"occurrences", Json::array({{{"location", archive.path}}})}};
    if (archive.match == "metadata")
        evidence["identity"] = Identity(purl.empty() ? "name" : "purl",
                                        Json::array({Method("manifest-analysis", 0.5, "pom.properties")}));
    else if (archive.match == "manifest")
        evidence["identity"] = Identity("name", Json::array({Method("manifest-analysis", 0.4, "MANIFEST.MF")}));
    else if (archive.match == "filename")
        evidence["identity"] = Identity("name", Json::array({Method("filename", 0.2, "file name")}));
    bomComponent["evidence"] = evidence;
    bomComponent["properties"] = Json::array({{{"name", "corvane:match"}, {"value", archive.match}},
                                              {{"name", "corvane:classes"}, {"value", std::to_string(archive.classes)}}});
    return bomComponent;
}
}  // namespace

std::string FormatCycloneDx(const std::vector<CReportedComponent>& components,
                            const std::vector<CUnidentified>& unidentified, const CBomInfo& info,
                            const CAdvisoryClient* advisories)
{
    Json list = Json::array(), vulnerabilities = Json::array();
    for (const CReportedComponent& component : components) {
        const std::vector<CVersionGroup> groups = GroupByVersion(component);
        std::vector<std::pair<std::string, std::vector<std::string>>> refs;  // each BOM component's versions
        for (const CVersionGroup& group : groups) {
            list.push_back(ComponentBom(component, group, groups.size() == 1));
            const CFind& first = *group.finds.front();
            refs.emplace_back(ComponentRef(component, group, groups.size() == 1),
                              first.candidates.empty() ? std::vector<std::string>{first.version} : first.candidates);
        }
        for (const CAffectingAdvisory& affecting : component.advisories)
            vulnerabilities.push_back(VulnerabilityBom(affecting, "scid:" + component.scid, refs));
    }
    for (const CUnidentified& archive : unidentified) {
        list.push_back(ArchiveBom(archive));
        if (advisories)
            for (const CAffectingAdvisory& affecting : ArchiveAdvisories(archive, *advisories))
                vulnerabilities.push_back(VulnerabilityBom(affecting, ArchiveRef(archive),
                                                           {{ArchiveRef(archive), {archive.version}}}));
    }

    Json tool = {{"type", "application"}, {"name", "corvane-scan"}, {"version", info.toolVersion}};
    Json bom = {{"$schema", "http://cyclonedx.org/schema/bom-1.5.schema.json"},
                {"bomFormat", "CycloneDX"},
                {"specVersion", "1.5"},
                {"serialNumber", info.serialNumber},
                {"version", 1},
                {"metadata", {{"timestamp", info.timestamp}, {"tools", {{"components", Json::array({tool})}}}}},
                {"components", list}};
    if (advisories)
        bom["vulnerabilities"] = vulnerabilities;
    return Dump(bom);
}

std::string BomTimestamp()
{
    std::time_t now = std::time(nullptr);
    // Reproducible builds fix the time of everything they make.
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
        char* end = nullptr;
        const long long seconds = std::strtoll(epoch, &end, 10);
        if (*end == '\0' && seconds >= 0)
            now = static_cast<std::time_t>(seconds);
    }
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string RandomSerialNumber()
{
    std::random_device device;
    unsigned char bytes[16];
    for (unsigned char& byte : bytes)
        byte = static_cast<unsigned char>(device());
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    static const char* const hex = "0123456789abcdef";
    std::string text = "urn:uuid:";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text += '-';
        text += hex[bytes[i] >> 4];
        text += hex[bytes[i] & 15];
    }
    return text;
}
