#pragma once

class CLookupService;
class CScanResults;
class CScanUnit;

// One way of telling which known components a unit holds. The scan tries every matcher on
// every unit, in the order ScanMatchers sets; each adds what it finds to the results.
class IMatcher
{
public:
    virtual ~IMatcher() = default;
    // False when the lookup server could not answer; the scan then stops asking it.
    virtual bool Match(const CScanUnit& unit, CLookupService& lookup, CScanResults& results) = 0;
};
