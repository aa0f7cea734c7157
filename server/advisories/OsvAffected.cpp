#include "OsvAffected.h"

#include <algorithm>

namespace
{
using EKind = COsvEvent::EKind;

// The timeline's order, in which "0" comes before every version.
bool NotBefore(const COsvEvent& later, const COsvEvent& earlier)
{
    if (earlier.IsZero())
        return true;
    return !later.IsZero() && *later.version >= *earlier.version;
}

bool BeforeLimits(const CMavenVersion& version, const COsvRange& range)
{
    bool limited = false;
    for (const COsvEvent& event : range.events) {
        if (event.kind != EKind::Limit)
            continue;
        limited = true;
        if (event.IsInfinite() || (event.version && version < *event.version))
            return true;
    }
    return !limited;
}

std::string RangeProblem(const COsvRange& range)
{
    if (range.type != "ECOSYSTEM")
        return "range type \"" + range.type + "\" cannot be evaluated";
    bool introduced = false, fixed = false, lastAffected = false;
    const COsvEvent* previous = nullptr;
    for (const COsvEvent& event : range.events) {
        if (event.kind == EKind::Invalid)
            return "an event without exactly one of introduced, fixed, last_affected, limit";
        if (!event.version && !event.IsZero() && !event.IsInfinite())
            return "version \"" + event.text + "\" cannot be ordered";
        introduced |= event.kind == EKind::Introduced;
        fixed |= event.kind == EKind::Fixed;
        lastAffected |= event.kind == EKind::LastAffected;
        if (event.kind == EKind::Limit)
            continue;
        // The timeline is read in the order written; a writer whose order disagrees with
        // Maven's meant something the sorted timeline would not say.
        if (previous && !NotBefore(event, *previous))
            return "events out of order at \"" + event.text + "\"";
        previous = &event;
    }
    if (!introduced)
        return "a range without \"introduced\"";
    if (fixed && lastAffected)
        return "a range with both \"fixed\" and \"last_affected\"";
    return {};
}
}  // namespace

std::string COsvAffected::WhyUnevaluable() const
{
    if (ranges.empty() && versionTexts.empty())
        return "neither ranges nor versions for " + package;
    for (const std::string& text : versionTexts) {
        if (versions.size() != versionTexts.size() && !CMavenVersion::Parse(text))
            return "version \"" + text + "\" cannot be ordered";
    }
    for (const COsvRange& range : ranges) {
        if (std::string problem = RangeProblem(range); !problem.empty())
            return problem;
    }
    return {};
}

bool COsvAffected::Affects(const CMavenVersion& version) const
{
    if (!unevaluable.empty())
        return false;
    if (versions.size() != versionTexts.size())
        return false;
    if (std::binary_search(versions.begin(), versions.end(), version))
        return true;
    for (const COsvRange& range : ranges) {
        if (!BeforeLimits(version, range))
            continue;
        bool vulnerable = false;
        for (const COsvEvent& event : range.events) {
            if (!event.version && !event.IsInfinite())
                return false;
            if (event.kind == EKind::Introduced && (event.IsZero() || version >= *event.version))
                vulnerable = true;
            else if (event.kind == EKind::Fixed && version >= *event.version)
                vulnerable = false;
            else if (event.kind == EKind::LastAffected && version > *event.version)
                vulnerable = false;
        }
        if (vulnerable)
            return true;
    }
    return false;
}

void COsvAffected::Prepare()
{
    versions.clear();
    for (const std::string& text : versionTexts) {
        if (auto version = CMavenVersion::Parse(text))
            versions.push_back(std::move(*version));
    }
    std::sort(versions.begin(), versions.end());
    unevaluable = WhyUnevaluable();
}
