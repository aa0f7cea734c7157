#include "ReportedComponent.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "CatalogueEntries.h"
#include "FileDigest.h"
#include "UrlFetch.h"

namespace
{
// Package URL components keep letters, digits and ".-_~"; everything else is escaped, as in
// any URL component.
std::string PurlEncode(const std::string& text) { return EncodeUrlComponent(text); }

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

std::string VersionText(const CFind& find)
{
    if (find.candidates.empty())
        return find.version;
    std::string text;
    for (const std::string& candidate : find.candidates)
        text += (text.empty() ? "" : " or ") + candidate;
    return text;
}

std::vector<std::string> FindWarnings(const CFind& find)
{
    if (find.claimedVersion.empty())
        return {};
    return {find.claimedBy + " names version " + find.claimedVersion + ", the classes are " +
            (find.version.empty() ? "those of " + VersionText(find) : find.version)};
}

std::vector<CReportedComponent> ReportComponents(const std::vector<CFoundComponent>& found,
                                                 const CCatalogueEntries& catalogue, bool withHashes,
                                                 const CAdvisoryClient* advisories)
{
    std::vector<CReportedComponent> components;
    for (const CFoundComponent& component : found) {
        CReportedComponent reported;
        reported.scid = component.scid;
        reported.title = catalogue.GetField(component.scid, "componentName");
        reported.name = reported.title.empty() ? component.scid : reported.title;
        const std::string catalogued = catalogue.GetField(component.scid, "version");
        reported.vendor = catalogue.GetField(component.scid, "vendor");
        reported.description = catalogue.GetField(component.scid, "description");
        reported.artifact = catalogue.GetField(component.scid, "artifact");
        if (const size_t colon = reported.artifact.find(':'); colon != std::string::npos) {
            reported.group = reported.artifact.substr(0, colon);
            reported.artifactId = reported.artifact.substr(colon + 1);
        }
        reported.finds = component.finds;
        // The classes told no version apart: the catalogue's stands.
        for (CFind& find : reported.finds)
            if (find.version.empty() && find.candidates.empty())
                find.version = catalogued;
        // The component's version is the one all its places agree on.
        reported.version = reported.finds.empty() ? catalogued : reported.finds.front().version;
        for (const CFind& find : reported.finds)
            if (find.version != reported.version || !find.candidates.empty())
                reported.version.clear();
        if (!reported.artifactId.empty())
            reported.purl = MavenPurl(reported.group, reported.artifactId, reported.version);
        if (advisories && !reported.group.empty() && !reported.artifactId.empty())
            reported.advisories = advisories->Affecting(reported.artifact, reported.finds);
        // A class tree is a folder, which has no hash.
        if (const std::string archive = withHashes ? OwnArchive(component, found) : ""; !archive.empty()) {
            CFileDigests digests = Sha1AndSha256Hex(archive);
            reported.sha1 = std::move(digests.sha1);
            reported.sha256 = std::move(digests.sha256);
        }
        components.push_back(std::move(reported));
    }
    std::stable_sort(components.begin(), components.end(), [](const auto& a, const auto& b) {
        const std::string left = Lower(a.name), right = Lower(b.name);
        return left != right ? left < right : a.scid < b.scid;
    });
    return components;
}

std::vector<CAffectingAdvisory> ArchiveAdvisories(const CUnidentified& archive, const CAdvisoryClient& advisories)
{
    const std::string package = CAdvisoryClient::Package(archive);
    return package.empty() ? std::vector<CAffectingAdvisory>{}
                           : advisories.Affecting(package, {CAdvisoryClient::ArchiveFind(archive)});
}

bool AnyAdvisoryMeets(const std::vector<CReportedComponent>& components, const std::vector<CUnidentified>& unidentified,
                      const CAdvisoryClient& advisories, const std::string& threshold)
{
    auto meets = [&](const std::vector<CAffectingAdvisory>& list) {
        return std::any_of(list.begin(), list.end(),
                           [&](const CAffectingAdvisory& a) { return MeetsSeverity(a.advisory.severity, threshold); });
    };
    for (const CReportedComponent& component : components)
        if (meets(component.advisories))
            return true;
    for (const CUnidentified& archive : unidentified)
        if (meets(ArchiveAdvisories(archive, advisories)))
            return true;
    return false;
}
