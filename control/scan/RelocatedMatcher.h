#pragma once

#include "Matcher.h"

// A copy of a library moved under another package prefix (a shaded copy): a name that finds
// nothing is tried again without its first package segments, up to kMaxCut of them (the
// shading plugin's usual prefix is the application's own package and "shaded", as in
// "org.apache.hadoop.shaded."). Such finds count only where most of the names under the
// cut prefix agree.
class CRelocatedMatcher : public IMatcher
{
public:
    static constexpr int kMaxCut = 5;

    bool Match(const CScanUnit& unit, CLookupService& lookup, CScanResults& results) override;
};
