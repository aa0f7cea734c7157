#pragma once

#include <string>
#include <vector>

#include "AdvisoryClient.h"
#include "ScanResults.h"

class CCatalogueEntries;

// A component as corvane-scan reports it: what the catalogue says of it and where it was found.
struct CReportedComponent
{
    std::string scid;
    std::string title;  // the catalogue's "componentName"; empty when it has none
    std::string name;   // the title, or the SCID when the catalogue has no title for it
    std::string version;  // the one every find gives; the catalogue's when a find has no other
    std::string vendor;
    std::string description;
    std::string group;       // Maven coordinates, when the catalogue's "artifact" is "group:artifact"
    std::string artifactId;  // with group: what a BOM names the component by
    std::string artifact;  // the catalogue's "artifact" as it stands
    std::string purl;      // "pkg:maven/group/artifact@version"; empty without Maven coordinates
    std::string sha1;      // of the archive that is the component's own (see ReportComponents)
    std::string sha256;
    std::vector<CFind> finds;  // a find with no version of its own has the catalogue's
    std::vector<CAffectingAdvisory> advisories;  // known vulnerabilities of the versions found
};

// The components found, with their catalogue entries, by name and then SCID, so that two
// scans of the same files list them alike. withHashes: also the SHA-1 and SHA-256 of each component
// whose every find is one plain archive file holding it directly and no other component
// found, so that the hash is that of the component's own artifact (not of a WAR, a shaded
// or merged JAR, or a class tree).
// advisories: what the component web server said of them, when it said anything.
std::vector<CReportedComponent> ReportComponents(const std::vector<CFoundComponent>& found,
                                                 const CCatalogueEntries& catalogue, bool withHashes = false,
                                                 const CAdvisoryClient* advisories = nullptr);
// The advisories bearing on an archive named by its pom.properties; none for any other.
std::vector<CAffectingAdvisory> ArchiveAdvisories(const CUnidentified& archive, const CAdvisoryClient& advisories);
// Whether an advisory at or above threshold affects, or may affect, anything reported.
bool AnyAdvisoryMeets(const std::vector<CReportedComponent>& components, const std::vector<CUnidentified>& unidentified,
                      const CAdvisoryClient& advisories, const std::string& threshold);

// A find's version as reports write it: the version, or the candidates ("1.2 or 1.1").
std::string VersionText(const CFind& find);
// What a report should warn of about a find: its archive's metadata naming another version.
std::vector<std::string> FindWarnings(const CFind& find);

// The package URL of a Maven artifact; empty when group or artifact is missing.
std::string MavenPurl(const std::string& group, const std::string& artifact, const std::string& version);
