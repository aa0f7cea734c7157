#include "OsvRecord.h"

#include <algorithm>

#include "CvssScore.h"

namespace
{
std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

ESeverityLevel LevelOfScore(double score)
{
    if (score == 0)
        return ESeverityLevel::None;
    if (score < 4)
        return ESeverityLevel::Low;
    if (score < 7)
        return ESeverityLevel::Medium;
    if (score < 9)
        return ESeverityLevel::High;
    return ESeverityLevel::Critical;
}
}  // namespace

std::string_view SeverityLevelName(ESeverityLevel level)
{
    switch (level) {
    case ESeverityLevel::None:
        return "none";
    case ESeverityLevel::Low:
        return "low";
    case ESeverityLevel::Medium:
        return "medium";
    case ESeverityLevel::High:
        return "high";
    case ESeverityLevel::Critical:
        return "critical";
    case ESeverityLevel::Unknown:
        break;
    }
    return "unknown";
}

ESeverityLevel COsvRecord::Severity() const
{
    const std::string level = Lower(databaseSeverity);
    if (level == "low")
        return ESeverityLevel::Low;
    if (level == "moderate" || level == "medium")
        return ESeverityLevel::Medium;
    if (level == "high")
        return ESeverityLevel::High;
    if (level == "critical")
        return ESeverityLevel::Critical;
    for (const COsvSeverity& entry : severity) {
        if (entry.type != "CVSS_V3")
            continue;
        if (auto score = CvssV3BaseScore(entry.score))
            return LevelOfScore(*score);
    }
    return ESeverityLevel::Unknown;
}

bool COsvRecord::Affects(std::string_view package, const CMavenVersion& version) const
{
    if (Withdrawn() || !unevaluable.empty())
        return false;
    return std::any_of(affected.begin(), affected.end(), [&](const COsvAffected& entry) {
        return entry.package == package && entry.Affects(version);
    });
}

std::string COsvRecord::FixedAfter(std::string_view package, const CMavenVersion& version) const
{
    const COsvEvent* lowest = nullptr;
    for (const COsvAffected& entry : affected) {
        if (entry.package != package)
            continue;
        for (const COsvRange& range : entry.ranges)
            for (const COsvEvent& event : range.events)
                if (event.kind == COsvEvent::EKind::Fixed && event.version && *event.version > version &&
                    (!lowest || *event.version < *lowest->version))
                    lowest = &event;
    }
    return lowest ? lowest->text : std::string();
}

std::vector<std::string> COsvRecord::Packages() const
{
    std::vector<std::string> packages;
    for (const COsvAffected& entry : affected) {
        if (std::find(packages.begin(), packages.end(), entry.package) == packages.end())
            packages.push_back(entry.package);
    }
    return packages;
}
