#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A name prepared for matching: folded to lower case, with the start of each hump (a word
// of a camel-case name: "Concurrent", "Hash", "Map"; "XML", "Parser"; digits apart).
struct CFoldedName
{
    CFoldedName() = default;
    explicit CFoldedName(std::string_view name);

    // The characters bits of a name, without folding it whole.
    static uint64_t CharactersOf(std::string_view name);

    std::string text;
    std::string lower;
    std::vector<uint32_t> humps;     // start of each hump, in order
    std::vector<uint32_t> humpEnds;  // and its end
    std::vector<bool> startsHump;    // per character
    uint64_t characters = 0;         // a bit for each character it holds (folded, modulo 64)
};

// How well a name matches a query; lower is better.
enum CMatchRank : int
{
    kExactMatch = 0,
    kPrefixMatch,
    kCamelCaseMatch,
    kSubstringMatch,
    kNoMatch,
};

// What a user types into a search box, matched against names:
//  - any case: "vector" finds Vector, and Vector ranks above AbstractVector;
//  - camel-case abbreviations: "CHM" ConcurrentHashMap, "NPE" NullPointerException,
//    "HaMa" HashMap; a query written in camel case matches only at hump starts, so "CHM"
//    does not find NoSuchMethodError;
//  - wildcards: "Hash*Map", "Vec?or";
//  - several words in any order, each matching somewhere: "concurrent map".
class CNameMatcher
{
public:
    explicit CNameMatcher(std::string_view query);

    bool Empty() const { return m_words.empty(); }
    // The query names something qualified ("java.util.Vec").
    bool HasDot() const { return m_phrase.find('.') != std::string::npos; }
    // Every character of every word (as CFoldedName's bits): a name that lacks one of them
    // matches in no way, so it need not be folded to be ruled out.
    uint64_t Characters() const { return m_characters; }

    CMatchRank Rank(const CFoldedName& name) const;
    // Over a record with several fields: each word may match in any field, but a match
    // outside the primary field ranks as a substring match at best.
    CMatchRank Rank(const CFoldedName& primary, const std::vector<const CFoldedName*>& others) const;

    // Wildcard matching of a whole (folded) text.
    static bool Glob(std::string_view pattern, std::string_view text);

private:
    // Longer queries are no abbreviation.
    static constexpr size_t kMaxCamelQuery = 64;

    struct CWord
    {
        std::string lower;
        std::string prefixPattern;    // for wildcards: lower + "*"
        std::string anywherePattern;  // and "*" + lower + "*"
        std::vector<bool> startsPiece;  // an upper-case letter: starts a hump of its own
        uint64_t characters = 0;        // as CFoldedName's, wildcards left out
        bool camelShaped = false;       // upper case after the first letter
        bool wildcard = false;
        bool camelAllowed = false;      // letters and digits only
    };

    CMatchRank WordRank(const CWord& word, const CFoldedName& name) const;
    static bool CamelMatch(const CWord& word, const CFoldedName& name);
    CMatchRank PhraseRank(const CFoldedName& name) const;

    std::vector<CWord> m_words;
    std::string m_phrase;  // the words joined by one blank
    std::string m_joined;  // and without it
    bool m_wildcard = false;
    uint64_t m_characters = 0;
};
