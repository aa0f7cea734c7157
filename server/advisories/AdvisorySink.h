#pragma once

#include "OsvRecord.h"

enum class EMergeOutcome
{
    Added,     // a record not held before
    Replaced,  // a newer "modified" of a record held
    Kept,      // the copy held is as new or newer: loading the same files twice changes nothing
};

// The one rule by which loading stays idempotent, for every place that keeps records:
// a record replaces an older "modified" of itself, never one as new or newer. A withdrawn
// record is kept like any other, so that an older copy loaded later cannot bring it back.
EMergeOutcome DecideMerge(const COsvRecord* held, const COsvRecord& offered);

// Where the loader hands each record it read: the in-memory set, later the server's store.
class IAdvisorySink
{
public:
    virtual ~IAdvisorySink() = default;
    virtual EMergeOutcome Offer(COsvRecord record) = 0;
};
