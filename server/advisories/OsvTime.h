#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string_view>

// A record's time stamp (modified, published, withdrawn) as a point in UTC, so that two
// stamps written with other offsets or fractions still compare right.
struct COsvTime
{
    int64_t seconds = 0;  // since 1970-01-01T00:00:00Z
    int32_t nanos = 0;

    // RFC 3339: "2024-05-01T12:00:00Z", with an optional fraction and "Z" or "+hh:mm".
    static std::optional<COsvTime> Parse(std::string_view text);

    auto operator<=>(const COsvTime&) const = default;
};
