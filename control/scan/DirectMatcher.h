#pragma once

#include "Matcher.h"

// The components whose classes the unit holds under their own names: one find per
// component, counting its distinct classes ("nested" for an archive inside another).
class CDirectMatcher : public IMatcher
{
public:
    bool Match(const CScanUnit& unit, CLookupService& lookup, CScanResults& results) override;
};
