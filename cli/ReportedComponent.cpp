#include "ReportedComponent.h"

#include <algorithm>
#include <cctype>

#include "CatalogueEntries.h"

namespace
{
// Package URL components keep letters, digits and ".-_~"; everything else is escaped.
std::string PurlEncode(const std::string& text)
{
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}
}  // namespace

std::string MavenPurl(const std::string& group, const std::string& artifact, const std::string& version)
{
    if (group.empty() || artifact.empty())
        return {};
    std::string purl = "pkg:maven/" + PurlEncode(group) + "/" + PurlEncode(artifact);
    if (!version.empty())
        purl += "@" + PurlEncode(version);
    return purl;
}

std::vector<CReportedComponent> ReportComponents(const std::vector<CFoundComponent>& found,
                                                 const CCatalogueEntries& catalogue)
{
    std::vector<CReportedComponent> components;
    for (const CFoundComponent& component : found) {
        CReportedComponent reported;
        reported.scid = component.scid;
        reported.name = catalogue.GetField(component.scid, "componentName");
        if (reported.name.empty())
            reported.name = component.scid;
        reported.version = catalogue.GetField(component.scid, "version");
        reported.vendor = catalogue.GetField(component.scid, "vendor");
        reported.description = catalogue.GetField(component.scid, "description");
        reported.artifact = catalogue.GetField(component.scid, "artifact");
        if (const size_t colon = reported.artifact.find(':'); colon != std::string::npos) {
            reported.group = reported.artifact.substr(0, colon);
            reported.purl = MavenPurl(reported.group, reported.artifact.substr(colon + 1), reported.version);
        }
        reported.finds = component.finds;
        components.push_back(std::move(reported));
    }
    std::stable_sort(components.begin(), components.end(), [](const auto& a, const auto& b) {
        const std::string left = Lower(a.name), right = Lower(b.name);
        return left != right ? left < right : a.scid < b.scid;
    });
    return components;
}
