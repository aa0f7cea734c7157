#pragma once

#include <string>
#include <vector>

#include "ReportedComponent.h"

// What a CycloneDX BOM says of its own making.
struct CBomInfo
{
    std::string toolVersion;
    std::string timestamp;     // "2024-05-01T12:00:00Z"
    std::string serialNumber;  // "urn:uuid:..."
};

// One row per place a component was found (component, version, basis, match, classes,
// path), then one per unidentified archive or class tree, then the warnings.
// advisories (given when the server has any): each component's known vulnerabilities are
// listed under its rows, in every format.
std::string FormatTable(const std::vector<CReportedComponent>& components,
                        const std::vector<CUnidentified>& unidentified = {}, const CAdvisoryClient* advisories = nullptr);
// A JSON array, one object per component, then one per unidentified archive (its SCID
// null); every object and every find has the same keys, null for what is not known.
// With advisories, every object also has an "advisories" array.
std::string FormatJson(const std::vector<CReportedComponent>& components,
                       const std::vector<CUnidentified>& unidentified = {}, const CAdvisoryClient* advisories = nullptr);
// A CycloneDX 1.5 JSON BOM: one library component per component and version found, named
// by its Maven artifact where the catalogue has coordinates, then one per unidentified
// archive, each with its places as evidence occurrences, how it was identified as evidence
// identity, and an archive's hashes; with advisories, a "vulnerabilities" array, one entry
// per record and component, naming the BOM components it affects.
std::string FormatCycloneDx(const std::vector<CReportedComponent>& components,
                            const std::vector<CUnidentified>& unidentified, const CBomInfo& info,
                            const CAdvisoryClient* advisories = nullptr);

// Now in UTC, or SOURCE_DATE_EPOCH when set, as CycloneDX writes times.
std::string BomTimestamp();
// A random (version 4) UUID as a URN.
std::string RandomSerialNumber();
