#pragma once

#include <string>
#include <string_view>

#include "OsvRecord.h"

// Reads one record in the OSV format from its JSON text, keeping only its Maven packages.
class COsvReader
{
public:
    // Records nest a few levels; anything deeper is refused before it is parsed.
    static constexpr size_t kMaxDepth = 64;
    static constexpr size_t kMaxIdLength = 128;

    enum class EResult
    {
        Record,          // a record with Maven packages, or with none named at all
        OtherEcosystem,  // packages, none of them Maven
        Malformed,
    };
    struct CRead
    {
        EResult result = EResult::Malformed;
        COsvRecord record;
        std::string error;  // for Malformed: what is wrong
    };

    static CRead Read(std::string_view json, size_t maxDepth = kMaxDepth);
};
