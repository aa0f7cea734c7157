#pragma once

#include "Matcher.h"

// A copy of a library moved under another package prefix (a shaded copy): a name that finds
// nothing is tried again without its first one or two package segments. Such finds count
// only where most of the names under the cut prefix agree.
class CRelocatedMatcher : public IMatcher
{
public:
    bool Match(const CScanUnit& unit, CLookupService& lookup, CScanResults& results) override;
};
