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

// One row per place a component was found: component, version, match, classes, path.
std::string FormatTable(const std::vector<CReportedComponent>& components);
// A JSON array, one object per component; every object has the same keys, null for what
// the catalogue does not know.
std::string FormatJson(const std::vector<CReportedComponent>& components);
// A CycloneDX 1.5 JSON BOM: one library component per component found, named by its Maven
// artifact where the catalogue has coordinates, its places as evidence occurrences.
std::string FormatCycloneDx(const std::vector<CReportedComponent>& components, const CBomInfo& info);

// Now in UTC, or SOURCE_DATE_EPOCH when set, as CycloneDX writes times.
std::string BomTimestamp();
// A random (version 4) UUID as a URN.
std::string RandomSerialNumber();
