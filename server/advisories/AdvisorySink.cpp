#include "AdvisorySink.h"

EMergeOutcome DecideMerge(const COsvRecord* held, const COsvRecord& offered)
{
    if (!held)
        return EMergeOutcome::Added;
    return offered.modified > held->modified ? EMergeOutcome::Replaced : EMergeOutcome::Kept;
}
