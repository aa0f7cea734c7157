#include "MavenVersion.h"

#include <algorithm>
#include <array>

namespace
{
enum class EKind : uint8_t
{
    Qualifier,  // ordered below a list, and a list below a number
    List,
    Number,
};

constexpr std::array<std::string_view, 7> kQualifiers = {"alpha", "beta", "milestone", "rc", "snapshot", "", "sp"};
constexpr uint8_t kReleaseRank = 5;
constexpr uint8_t kUnknownRank = 7;
constexpr size_t kMaxSmallDigits = 19;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSeparator(char c) { return c == '.' || c == '-' || c == '_'; }

// The parsed form while it is built; flattened afterwards.
struct CItem
{
    EKind kind = EKind::List;
    uint8_t rank = 0;
    std::string text;  // a number's digits without leading zeros ("0" for zero), an unknown qualifier
    std::vector<CItem> items;
};

CItem Number(std::string_view digits)
{
    const size_t first = digits.find_first_not_of('0');
    CItem item;
    item.kind = EKind::Number;
    item.text = first == std::string_view::npos ? "0" : std::string(digits.substr(first));
    return item;
}

// "a", "b" and "m" stand for alpha, beta and milestone only right before a number.
CItem Qualifier(std::string_view text, bool beforeNumber)
{
    if (beforeNumber && text.size() == 1) {
        if (text == "a")
            text = "alpha";
        else if (text == "b")
            text = "beta";
        else if (text == "m")
            text = "milestone";
    }
    if (text == "ga" || text == "final" || text == "release")
        text = "";
    else if (text == "cr")
        text = "rc";
    CItem item;
    item.kind = EKind::Qualifier;
    const auto known = std::find(kQualifiers.begin(), kQualifiers.end(), text);
    item.rank = known == kQualifiers.end() ? kUnknownRank : static_cast<uint8_t>(known - kQualifiers.begin());
    if (item.rank == kUnknownRank)
        item.text = std::string(text);
    return item;
}

bool IsNull(const CItem& item)
{
    switch (item.kind) {
    case EKind::Number:
        return item.text == "0";
    case EKind::Qualifier:
        return item.rank == kReleaseRank;
    case EKind::List:
        return item.items.empty();
    }
    return false;
}

// Trailing nulls go, also those before a deeper level that is not itself null
// ("1.0.0-foo" is "1-foo").
void Trim(CItem& list)
{
    for (size_t i = list.items.size(); i-- > 0;) {
        if (IsNull(list.items[i]))
            list.items.erase(list.items.begin() + static_cast<std::ptrdiff_t>(i));
        else if (list.items[i].kind != EKind::List)
            break;
    }
}

int Sign(int value) { return (value > 0) - (value < 0); }
}  // namespace

// Walks the flat form of two versions side by side.
struct CVersionWalk
{
    using CToken = CMavenVersion::CToken;

    static void Flatten(const CItem& item, CMavenVersion& version)
    {
        const size_t at = version.m_tokens.size();
        CToken& token = version.m_tokens.emplace_back();
        token.kind = static_cast<uint8_t>(item.kind);
        token.rank = item.rank;
        if (item.kind == EKind::List) {
            for (const CItem& inner : item.items)
                Flatten(inner, version);
            version.m_tokens[at].span = static_cast<uint32_t>(version.m_tokens.size() - at - 1);
            return;
        }
        token.length = static_cast<uint16_t>(item.kind == EKind::Number && item.text == "0" ? 0 : item.text.size());
        if (item.kind == EKind::Number && item.text.size() <= kMaxSmallDigits) {
            token.number = std::stoull(item.text);
        } else if (!item.text.empty()) {
            token.span = static_cast<uint32_t>(version.m_words.size());
            version.m_words += item.text;
        }
    }

    static size_t Next(const CMavenVersion& version, size_t at)
    {
        const CToken& token = version.m_tokens[at];
        return at + 1 + (token.kind == uint8_t(EKind::List) ? token.span : 0);
    }

    static std::string_view Word(const CMavenVersion& version, const CToken& token)
    {
        return std::string_view(version.m_words).substr(token.span, token.length);
    }

    // Against a missing item: the shorter version is padded with nulls.
    static int WithNull(const CMavenVersion& version, size_t at)
    {
        const CToken& token = version.m_tokens[at];
        switch (EKind(token.kind)) {
        case EKind::Number:
            return token.length == 0 ? 0 : 1;
        case EKind::Qualifier:
            return Sign(int(token.rank) - int(kReleaseRank));
        case EKind::List:
            for (size_t inner = at + 1; inner < Next(version, at); inner = Next(version, inner)) {
                if (int order = WithNull(version, inner))
                    return order;
            }
            return 0;
        }
        return 0;
    }

    static int Compare(const CMavenVersion& left, size_t l, const CMavenVersion& right, size_t r)
    {
        const CToken& a = left.m_tokens[l];
        const CToken& b = right.m_tokens[r];
        if (a.kind != b.kind)
            return Sign(int(a.kind) - int(b.kind));
        switch (EKind(a.kind)) {
        case EKind::Number:
            if (a.length != b.length)
                return a.length < b.length ? -1 : 1;
            if (a.length <= kMaxSmallDigits)
                return a.number < b.number ? -1 : a.number > b.number;
            return Sign(Word(left, a).compare(Word(right, b)));
        case EKind::Qualifier:
            if (a.rank != b.rank)
                return Sign(int(a.rank) - int(b.rank));
            return Sign(Word(left, a).compare(Word(right, b)));
        case EKind::List: {
            const size_t leftEnd = Next(left, l), rightEnd = Next(right, r);
            size_t i = l + 1, j = r + 1;
            for (; i < leftEnd && j < rightEnd; i = Next(left, i), j = Next(right, j)) {
                if (int order = Compare(left, i, right, j))
                    return order;
            }
            for (; i < leftEnd; i = Next(left, i)) {
                if (int order = WithNull(left, i))
                    return order;
            }
            for (; j < rightEnd; j = Next(right, j)) {
                if (int order = WithNull(right, j))
                    return -order;
            }
            return 0;
        }
        }
        return 0;
    }

    static void Write(const CMavenVersion& version, size_t at, std::string& out)
    {
        EKind previous = EKind::List;
        for (size_t i = at + 1; i < Next(version, at); i = Next(version, i)) {
            const CToken& token = version.m_tokens[i];
            const EKind kind = EKind(token.kind);
            if (kind == EKind::List) {
                out += '-';
                Write(version, i, out);
            } else {
                if (i > at + 1 && previous != EKind::List)
                    out += '.';
                if (kind == EKind::Number && token.length <= kMaxSmallDigits)
                    out += std::to_string(token.number);
                else if (kind == EKind::Number || token.rank == kUnknownRank)
                    out += Word(version, token);
                else
                    out += kQualifiers[token.rank];
            }
            previous = kind;
        }
    }
};

std::optional<CMavenVersion> CMavenVersion::Parse(std::string_view text)
{
    if (text.empty() || text.size() > kMaxLength)
        return std::nullopt;
    std::string lower(text);
    for (char& c : lower) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f)
            return std::nullopt;
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }

    CItem root;
    // Each level is the last item of the one above, and a level above is never appended to
    // again, so these pointers stay valid.
    std::vector<CItem*> levels{&root};
    auto descend = [&levels] {
        levels.back()->items.emplace_back();
        levels.push_back(&levels.back()->items.back());
    };
    size_t start = 0;
    char before = '.';  // what came before the token: a separator, or the other kind of character
    auto finish = [&](size_t end, bool beforeNumber) {
        std::string_view token = std::string_view(lower).substr(start, end - start);
        if (token.empty()) {
            levels.back()->items.push_back(Number("0"));
        } else if (IsDigit(token[0])) {
            levels.back()->items.push_back(Number(token));
        } else {
            // A qualifier after a dot counts as one after a hyphen ("1.foo" == "1-foo").
            if (before == '.' && !levels.back()->items.empty())
                descend();
            levels.back()->items.push_back(Qualifier(token, beforeNumber));
        }
    };
    for (size_t i = 0; i < lower.size(); ++i) {
        const char c = lower[i];
        if (IsSeparator(c)) {
            finish(i, false);
            start = i + 1;
            before = c == '.' ? '.' : '-';
            if (before == '-')
                descend();
        } else if (i > start && IsDigit(c) != IsDigit(lower[i - 1])) {
            // A change between digits and letters is a hyphen.
            finish(i, IsDigit(c));
            start = i;
            before = '-';
            descend();
        }
    }
    finish(lower.size(), false);
    for (auto level = levels.rbegin(); level != levels.rend(); ++level)
        Trim(**level);

    CMavenVersion version;
    version.m_text = std::string(text);
    CVersionWalk::Flatten(root, version);
    version.m_tokens.shrink_to_fit();
    return version;
}

std::string CMavenVersion::Canonical() const
{
    std::string out;
    CVersionWalk::Write(*this, 0, out);
    return out;
}

std::strong_ordering CMavenVersion::operator<=>(const CMavenVersion& other) const
{
    return CVersionWalk::Compare(*this, 0, other, 0) <=> 0;
}
