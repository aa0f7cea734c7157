#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A Maven version, parsed once and ordered as Maven orders versions: numbers and
// qualifiers split at ".", "-", "_" and at every change between digits and letters, a
// hyphen (or a letter after a dot or a digit) opening a deeper level, trailing "null" items
// (0, "", "ga", "final", "release") dropped, and the known qualifiers
// alpha < beta < milestone < rc = cr < snapshot < release < sp ahead of all others.
// Equal means equal in that order ("1" == "1.0.0"), not equal text.
class CMavenVersion
{
public:
    // Longer texts are refused: real versions are short, and the depth of the parsed form
    // (which comparing walks recursively) is bounded by the length.
    static constexpr size_t kMaxLength = 256;

    // Nothing for an empty text, one over kMaxLength, or one with blanks or control characters.
    static std::optional<CMavenVersion> Parse(std::string_view text);

    const std::string& Text() const { return m_text; }
    // The parsed form written out ("1.0.0-GA" gives "1"), for messages and tests.
    std::string Canonical() const;

    std::strong_ordering operator<=>(const CMavenVersion& other) const;
    bool operator==(const CMavenVersion& other) const { return (*this <=> other) == 0; }

private:
    // The parsed form, flat and in one allocation (catalogues and advisories hold hundreds
    // of thousands of versions): the items in pre-order, each level a list token followed
    // by the tokens below it.
    struct CToken
    {
        uint64_t number = 0;  // a number of up to 19 digits
        uint32_t span = 0;    // a list: how many tokens follow below it; a word: its offset in m_words
        uint16_t length = 0;  // a number: its digits without leading zeros; a word: its length
        uint8_t kind = 0;     // EKind in the source
        uint8_t rank = 0;     // a qualifier's place among the known ones
    };

    friend struct CVersionWalk;
    std::string m_text;
    std::vector<CToken> m_tokens;
    std::string m_words;  // unknown qualifiers and numbers too long for 64 bits
};
