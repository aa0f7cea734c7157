#pragma once

#include <string>

#include "OsvRecord.h"

// A record as JSON in the OSV format again, with only what COsvReader keeps of it: what the
// store holds of each record, read back by the same reader as the loaded files.
std::string WriteOsvRecord(const COsvRecord& record);
