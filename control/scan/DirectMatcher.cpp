#include "DirectMatcher.h"

#include <map>
#include <string>
#include <vector>

#include "LookupService.h"
#include "ScanResults.h"
#include "ScanUnit.h"

bool CDirectMatcher::Match(const CScanUnit& unit, CLookupService& lookup, CScanResults& results)
{
    const std::vector<std::string>& names = unit.GetDistinctNames();
    if (!lookup.LookUp(names))
        return false;
    std::map<std::string, size_t> counts;
    std::vector<std::string> order;
    for (const std::string& name : names)
        for (const std::string& scid : lookup.ScidsOf(name))
            if (counts[scid]++ == 0)
                order.push_back(scid);
    for (const std::string& scid : order)
        results.AddFind(scid, {unit.GetPath(), unit.IsNested() ? CMatch::Nested : CMatch::Direct, counts[scid]});
    return true;
}
