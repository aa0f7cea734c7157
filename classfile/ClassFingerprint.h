#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A fingerprint of one compiled class that stays the same when a shading tool relocates the
// class (rewriting and reordering its whole constant pool), so that a relocated copy can be
// recognised as the class it was made from. The definition is at its computation.
class CClassFingerprint
{
public:
    // The class's fingerprint with relocatedPrefix removed from every class name and every
    // string that starts with it; the prefix may be given in internal ("shaded/") or dotted
    // ("shaded.") form, with or without its final separator. Nothing when the bytes are not a
    // whole, well-formed class file.
    static std::optional<std::uint64_t> Compute(std::string_view classBytes, std::string_view relocatedPrefix = {});

    // The fingerprint as 16 lower-case hex digits.
    static std::string ToText(std::uint64_t fingerprint);
};
