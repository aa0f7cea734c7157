#include "ReportFormats.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <random>

#include <nlohmann/json.hpp>

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

std::string FormatTable(const std::vector<CReportedComponent>& components)
{
    if (components.empty())
        return "No known components found.\n";
    const std::vector<std::string> header = {"COMPONENT", "VERSION", "MATCH", "CLASSES", "WHERE"};
    std::vector<std::vector<std::string>> rows;
    for (const CReportedComponent& component : components) {
        bool first = true;
        for (const CFind& find : component.finds) {
            rows.push_back({first ? component.name : "", first ? component.version : "", MatchName(find.match),
                            std::to_string(find.classes), find.path});
            first = false;
        }
    }
    std::vector<size_t> widths;
    for (const std::string& title : header)
        widths.push_back(DisplayWidth(title));
    for (const auto& row : rows)
        for (size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], DisplayWidth(row[column]));

    std::string table;
    auto line = [&](const std::vector<std::string>& cells) {
        std::string text;
        for (size_t column = 0; column + 1 < cells.size(); ++column)
            text += Pad(cells[column], widths[column], column == 3) + "  ";
        text += cells.back();
        table += text + "\n";
    };
    line(header);
    for (const auto& row : rows)
        line(row);
    return table;
}

std::string FormatJson(const std::vector<CReportedComponent>& components)
{
    Json list = Json::array();
    for (const CReportedComponent& component : components) {
        Json finds = Json::array();
        for (const CFind& find : component.finds)
            finds.push_back({{"path", find.path}, {"match", MatchName(find.match)}, {"classes", find.classes}});
        list.push_back({{"scid", component.scid},
                        {"name", component.name},
                        {"version", OrNull(component.version)},
                        {"vendor", OrNull(component.vendor)},
                        {"artifact", OrNull(component.artifact)},
                        {"purl", OrNull(component.purl)},
                        {"finds", finds}});
    }
    return Dump(list);
}

std::string FormatCycloneDx(const std::vector<CReportedComponent>& components, const CBomInfo& info)
{
    Json list = Json::array();
    for (const CReportedComponent& component : components) {
        Json bomComponent = {{"type", "library"}, {"bom-ref", "scid:" + component.scid}};
        if (!component.vendor.empty())
            bomComponent["publisher"] = component.vendor;
        if (!component.group.empty())
            bomComponent["group"] = component.group;
        // BOM consumers match name, group and version as the purl gives them, so the name is
        // the artifact's own; the catalogue's title stays as a property.
        bomComponent["name"] = component.purl.empty() ? component.name : component.artifactId;
        if (!component.version.empty())
            bomComponent["version"] = component.version;
        if (!component.description.empty())
            bomComponent["description"] = component.description;
        if (!component.sha256.empty())
            bomComponent["hashes"] = Json::array({{{"alg", "SHA-256"}, {"content", component.sha256}}});
        if (!component.purl.empty())
            bomComponent["purl"] = component.purl;

        Json occurrences = Json::array();
        Json properties = Json::array({{{"name", "corvane:scid"}, {"value", component.scid}}});
        if (!component.title.empty())
            properties.push_back({{"name", "corvane:title"}, {"value", component.title}});
        std::vector<std::string> locations;
        for (const CFind& find : component.finds) {
            if (std::find(locations.begin(), locations.end(), find.path) == locations.end()) {
                locations.push_back(find.path);
                occurrences.push_back({{"location", find.path}});
            }
            // How each place matched: "direct 12 /lib/a.jar", the path last.
            properties.push_back({{"name", "corvane:found"},
                                  {"value", std::string(MatchName(find.match)) + " " + std::to_string(find.classes) +
                                                " " + find.path}});
        }
        bomComponent["evidence"] = {{"occurrences", occurrences}};
        bomComponent["properties"] = properties;
        list.push_back(bomComponent);
    }

    Json tool = {{"type", "application"}, {"name", "corvane-scan"}, {"version", info.toolVersion}};
    Json bom = {{"$schema", "http://cyclonedx.org/schema/bom-1.5.schema.json"},
                {"bomFormat", "CycloneDX"},
                {"specVersion", "1.5"},
                {"serialNumber", info.serialNumber},
                {"version", 1},
                {"metadata", {{"timestamp", info.timestamp}, {"tools", {{"components", Json::array({tool})}}}}},
                {"components", list}};
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
