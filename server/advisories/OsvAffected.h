#pragma once

#include <optional>
#include <string>
#include <vector>

#include "MavenVersion.h"

// One event of a range's timeline.
struct COsvEvent
{
    enum class EKind
    {
        Introduced,
        Fixed,
        LastAffected,
        Limit,
        Invalid,  // an event object without exactly one of the four
    };
    EKind kind = EKind::Invalid;
    std::string text;
    std::optional<CMavenVersion> version;  // none for a text Maven cannot order

    bool IsZero() const { return kind == EKind::Introduced && text == "0"; }
    bool IsInfinite() const { return kind == EKind::Limit && text.find('*') != std::string::npos; }
};

struct COsvRange
{
    std::string type;
    std::vector<COsvEvent> events;
};

// One Maven package a record names ("group:artifact"), with the versions it affects.
struct COsvAffected
{
    std::string package;
    std::vector<COsvRange> ranges;
    std::vector<std::string> versionTexts;  // as listed
    // Those of versionTexts Maven can order, sorted: the lists OSV.dev fills in run to
    // hundreds of versions, searched for every component.
    std::vector<CMavenVersion> versions;
    std::string unevaluable;  // WhyUnevaluable(), filled once by the reader

    // Why Maven's order cannot answer for this entry (empty when it can): a range type other
    // than ECOSYSTEM, no "introduced", both "fixed" and "last_affected", events out of order,
    // a version that cannot be ordered, or nothing at all to go by. Such an entry must never
    // be read as "affects everything" nor as "affects nothing".
    std::string WhyUnevaluable() const;
    // The evaluation of the OSV schema: a listed version, or a version inside a range's
    // timeline and below one of its limits. False for an entry marked unevaluable or with a
    // version that cannot be ordered.
    // Fills versions from versionTexts, and unevaluable.
    void Prepare();
    bool Affects(const CMavenVersion& version) const;
};
