#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "OsvAffected.h"
#include "OsvTime.h"

enum class ESeverityLevel
{
    Unknown,  // the record says nothing this program can read
    None,
    Low,
    Medium,
    High,
    Critical,
};
// "unknown", "none", "low", "medium", "high", "critical".
std::string_view SeverityLevelName(ESeverityLevel level);

struct COsvSeverity
{
    std::string type;   // "CVSS_V3", "CVSS_V4", ...
    std::string score;  // the vector
};

// One vulnerability record in the OSV format, reduced to its Maven packages.
struct COsvRecord
{
    std::string id;
    std::vector<std::string> aliases;
    std::string modifiedText;
    COsvTime modified;
    std::string published;
    std::optional<std::string> withdrawn;
    std::string summary;
    std::string details;
    std::vector<COsvSeverity> severity;
    std::string databaseSeverity;  // database_specific.severity: GitHub's LOW, MODERATE, HIGH, CRITICAL
    std::vector<COsvAffected> affected;
    std::string unevaluable;  // the first entry's reason, filled by the reader; empty when all can be evaluated

    bool Withdrawn() const { return withdrawn.has_value(); }
    // The database's own level where it gives one, else the level of the first CVSS v3 base score.
    ESeverityLevel Severity() const;
    // A withdrawn record or one that cannot be evaluated affects nothing.
    bool Affects(std::string_view package, const CMavenVersion& version) const;
    // The lowest "fixed" version of the package above version: what to move to. Empty when the
    // record names none.
    std::string FixedAfter(std::string_view package, const CMavenVersion& version) const;
    // Each package once, in the order first named.
    std::vector<std::string> Packages() const;
};
