#pragma once

#include <string>
#include <vector>

#include "ScanResults.h"

class CCatalogueEntries;

// A component as corvane-scan reports it: what the catalogue says of it and where it was found.
struct CReportedComponent
{
    std::string scid;
    std::string name;  // the SCID when the catalogue has no entry for it
    std::string version;
    std::string vendor;
    std::string description;
    std::string group;     // Maven coordinates, when the catalogue's "artifact" is "group:artifact"
    std::string artifact;  // the catalogue's "artifact" as it stands
    std::string purl;      // "pkg:maven/group/artifact@version"; empty without Maven coordinates
    std::vector<CFind> finds;
};

// The components found, with their catalogue entries, by name and then SCID, so that two
// scans of the same files list them alike.
std::vector<CReportedComponent> ReportComponents(const std::vector<CFoundComponent>& found,
                                                 const CCatalogueEntries& catalogue);

// The package URL of a Maven artifact; empty when group or artifact is missing.
std::string MavenPurl(const std::string& group, const std::string& artifact, const std::string& version);
