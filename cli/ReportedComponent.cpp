#include "ReportedComponent.h"

#include <algorithm>
#include <cctype>

#include "CatalogueEntries.h"
#include "FileDigest.h"

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

// The archive a component was found in alone, directly, and with no other component beside
// it; empty when there is none such.
std::string OwnArchive(const CFoundComponent& component, const std::vector<CFoundComponent>& found)
{
    if (component.finds.empty())
        return {};
    const std::string& path = component.finds.front().path;
    for (const CFind& find : component.finds)
        if (find.path != path || find.match != CMatch::Direct)
            return {};
    if (path.find("!/") != std::string::npos)
        return {};
    for (const CFoundComponent& other : found)
        if (other.scid != component.scid)
            for (const CFind& find : other.finds)
                if (find.path == path)
                    return {};
    return path;
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
                                                 const CCatalogueEntries& catalogue, bool withHashes)
{
    std::vector<CReportedComponent> components;
    for (const CFoundComponent& component : found) {
        CReportedComponent reported;
        reported.scid = component.scid;
        reported.title = catalogue.GetField(component.scid, "componentName");
        reported.name = reported.title.empty() ? component.scid : reported.title;
        reported.version = catalogue.GetField(component.scid, "version");
        reported.vendor = catalogue.GetField(component.scid, "vendor");
        reported.description = catalogue.GetField(component.scid, "description");
        reported.artifact = catalogue.GetField(component.scid, "artifact");
        if (const size_t colon = reported.artifact.find(':'); colon != std::string::npos) {
            reported.group = reported.artifact.substr(0, colon);
            reported.artifactId = reported.artifact.substr(colon + 1);
            reported.purl = MavenPurl(reported.group, reported.artifactId, reported.version);
        }
        // A class tree is a folder, which has no hash.
        if (const std::string archive = withHashes ? OwnArchive(component, found) : ""; !archive.empty())
            reported.sha256 = Sha256Hex(archive);
        reported.finds = component.finds;
        components.push_back(std::move(reported));
    }
    std::stable_sort(components.begin(), components.end(), [](const auto& a, const auto& b) {
        const std::string left = Lower(a.name), right = Lower(b.name);
        return left != right ? left < right : a.scid < b.scid;
    });
    return components;
}
