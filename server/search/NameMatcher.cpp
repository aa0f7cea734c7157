#include "NameMatcher.h"

#include <algorithm>
#include <array>

namespace
{
bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlnum(char c) { return IsUpper(c) || IsLower(c) || IsDigit(c); }
char Folded(char c) { return IsUpper(c) ? static_cast<char>(c - 'A' + 'a') : c; }
uint64_t CharacterBit(char folded) { return uint64_t(1) << (static_cast<unsigned char>(folded) & 63); }
}  // namespace

CFoldedName::CFoldedName(std::string_view name) : text(name), startsHump(name.size(), false)
{
    lower.reserve(name.size());
    for (char c : name) {
        lower += Folded(c);
        characters |= CharacterBit(Folded(c));
    }
    for (size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (!IsAlnum(c))
            continue;
        char before = i > 0 ? name[i - 1] : '\0';
        char after = i + 1 < name.size() ? name[i + 1] : '\0';
        bool start = !IsAlnum(before) || (IsUpper(c) && (IsLower(before) || IsDigit(before))) ||
                     (IsUpper(c) && IsUpper(before) && IsLower(after)) || (IsDigit(c) && !IsDigit(before)) ||
                     (!IsDigit(c) && IsDigit(before));
        if (!start)
            continue;
        humps.push_back(static_cast<uint32_t>(i));
        startsHump[i] = true;
    }
    // A hump ends where the next starts or where its run of letters and digits ends.
    for (size_t h = 0; h < humps.size(); ++h) {
        size_t end = humps[h] + 1;
        while (end < name.size() && IsAlnum(name[end]) && !startsHump[end])
            ++end;
        humpEnds.push_back(static_cast<uint32_t>(end));
    }
}

uint64_t CFoldedName::CharactersOf(std::string_view name)
{
    uint64_t bits = 0;
    for (char c : name)
        bits |= CharacterBit(Folded(c));
    return bits;
}

CNameMatcher::CNameMatcher(std::string_view query)
{
    size_t at = 0;
    while (at < query.size()) {
        while (at < query.size() && (query[at] == ' ' || query[at] == '\t' || query[at] == '\n' || query[at] == '\r'))
            ++at;
        size_t end = at;
        while (end < query.size() && query[end] != ' ' && query[end] != '\t' && query[end] != '\n' &&
               query[end] != '\r')
            ++end;
        if (end == at)
            break;
        std::string_view text = query.substr(at, end - at);
        at = end;
        CWord word;
        word.camelAllowed = true;
        for (size_t i = 0; i < text.size(); ++i) {
            word.lower += Folded(text[i]);
            if (text[i] != '*' && text[i] != '?')
                word.characters |= CharacterBit(Folded(text[i]));
            word.startsPiece.push_back(i > 0 && IsUpper(text[i]));
            word.camelShaped = word.camelShaped || (i > 0 && IsUpper(text[i]));
            word.wildcard = word.wildcard || text[i] == '*' || text[i] == '?';
            word.camelAllowed = word.camelAllowed && IsAlnum(text[i]);
        }
        word.prefixPattern = word.lower + "*";
        word.anywherePattern = "*" + word.lower + "*";
        m_wildcard = m_wildcard || word.wildcard;
        m_phrase += (m_phrase.empty() ? "" : " ") + word.lower;
        m_joined += word.lower;
        m_characters |= word.characters;
        m_words.push_back(std::move(word));
    }
}

bool CNameMatcher::Glob(std::string_view pattern, std::string_view text)
{
    // Greedy with one step back to the last star: linear for the patterns people type.
    size_t p = 0;
    size_t t = 0;
    size_t star = std::string_view::npos;
    size_t resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool CNameMatcher::CamelMatch(const CWord& word, const CFoldedName& name)
{
    // Pieces of the query, each a prefix of one hump, on consecutive humps from any hump;
    // an upper-case letter of the query always starts a piece. Worked backwards over the
    // humps: ahead[i] says the query from i on can be matched from the next hump.
    const std::string& q = word.lower;
    size_t n = q.size();
    size_t m = name.humps.size();
    if (!word.camelAllowed || n == 0 || m == 0 || n > kMaxCamelQuery)
        return false;
    // Most names fail here: the query's letters do not even occur in order.
    for (size_t i = 0, at = 0; i < n; ++i, ++at) {
        at = name.lower.find(q[i], at);
        if (at == std::string::npos)
            return false;
    }
    std::array<char, kMaxCamelQuery + 1> ahead{};
    std::array<char, kMaxCamelQuery + 1> row{};
    for (size_t h = m; h-- > 0;) {
        row.fill(0);
        row[n] = 1;
        size_t start = name.humps[h];
        size_t length = name.humpEnds[h] - start;
        for (size_t i = n; i-- > 0;) {
            for (size_t k = 1; k <= length && i + k <= n; ++k) {
                if (name.lower[start + k - 1] != q[i + k - 1] || (k > 1 && word.startsPiece[i + k - 1]))
                    break;
                if (i + k == n || (h + 1 < m && ahead[i + k])) {
                    row[i] = 1;
                    break;
                }
            }
        }
        if (row[0])
            return true;
        ahead = row;
    }
    return false;
}

CMatchRank CNameMatcher::WordRank(const CWord& word, const CFoldedName& name) const
{
    // Every form of match needs every character of the word: most names end here.
    if ((word.characters & ~name.characters) != 0)
        return kNoMatch;
    if (word.wildcard) {
        if (Glob(word.lower, name.lower))
            return kExactMatch;
        if (Glob(word.prefixPattern, name.lower))
            return kPrefixMatch;
        return Glob(word.anywherePattern, name.lower) ? kSubstringMatch : kNoMatch;
    }
    if (name.lower == word.lower)
        return kExactMatch;
    if (name.lower.starts_with(word.lower))
        return kPrefixMatch;
    if (CamelMatch(word, name))
        return kCamelCaseMatch;
    for (size_t at = name.lower.find(word.lower); at != std::string::npos; at = name.lower.find(word.lower, at + 1))
        if (!word.camelShaped || name.startsHump[at])
            return kSubstringMatch;
    return kNoMatch;
}

CMatchRank CNameMatcher::PhraseRank(const CFoldedName& name) const
{
    if (m_words.size() < 2 || m_wildcard)
        return kNoMatch;
    if (name.lower == m_phrase || name.lower == m_joined)
        return kExactMatch;
    if (name.lower.starts_with(m_phrase) || name.lower.starts_with(m_joined))
        return kPrefixMatch;
    return kNoMatch;
}

CMatchRank CNameMatcher::Rank(const CFoldedName& name) const { return Rank(name, {}); }

CMatchRank CNameMatcher::Rank(const CFoldedName& primary, const std::vector<const CFoldedName*>& others) const
{
    if (m_words.empty())
        return kNoMatch;
    CMatchRank phrase = PhraseRank(primary);
    for (const CFoldedName* other : others)
        if (phrase == kNoMatch && PhraseRank(*other) != kNoMatch)
            phrase = kSubstringMatch;
    CMatchRank all = kExactMatch;
    for (const auto& word : m_words) {
        CMatchRank best = WordRank(word, primary);
        for (const CFoldedName* other : others)
            if (best > kSubstringMatch && WordRank(word, *other) != kNoMatch)
                best = kSubstringMatch;
        if (best == kNoMatch)
            return phrase;
        all = std::max(all, best);
    }
    return std::min(all, phrase);
}
