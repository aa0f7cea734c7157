#include "MavenVersion.h"

#include <algorithm>
#include <array>

namespace
{
using CItem = CMavenVersion::CItem;
using EKind = CItem::EKind;

constexpr std::array<std::string_view, 7> kQualifiers = {"alpha", "beta", "milestone", "rc", "snapshot", "", "sp"};
constexpr uint8_t kReleaseRank = 5;
constexpr uint8_t kUnknownRank = 7;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSeparator(char c) { return c == '.' || c == '-' || c == '_'; }

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

// Against a missing item: the shorter version is padded with nulls.
int CompareWithNull(const CItem& item)
{
    switch (item.kind) {
    case EKind::Number:
        return item.text == "0" ? 0 : 1;
    case EKind::Qualifier:
        return Sign(int(item.rank) - int(kReleaseRank));
    case EKind::List:
        for (const CItem& inner : item.items) {
            if (int order = CompareWithNull(inner))
                return order;
        }
        return 0;
    }
    return 0;
}

int Compare(const CItem& left, const CItem& right)
{
    if (left.kind != right.kind)
        return Sign(int(left.kind) - int(right.kind));
    switch (left.kind) {
    case EKind::Number:
        if (left.text.size() != right.text.size())
            return left.text.size() < right.text.size() ? -1 : 1;
        return Sign(left.text.compare(right.text));
    case EKind::Qualifier:
        if (left.rank != right.rank)
            return Sign(int(left.rank) - int(right.rank));
        return Sign(left.text.compare(right.text));
    case EKind::List:
        for (size_t i = 0; i < std::max(left.items.size(), right.items.size()); ++i) {
            int order = i >= left.items.size()    ? -CompareWithNull(right.items[i])
                        : i >= right.items.size() ? CompareWithNull(left.items[i])
                                                  : Compare(left.items[i], right.items[i]);
            if (order)
                return order;
        }
        return 0;
    }
    return 0;
}

void Write(const CItem& list, std::string& out)
{
    for (size_t i = 0; i < list.items.size(); ++i) {
        const CItem& item = list.items[i];
        if (item.kind == EKind::List) {
            out += '-';
            Write(item, out);
            continue;
        }
        if (i > 0 && list.items[i - 1].kind != EKind::List)
            out += '.';
        out += item.kind == EKind::Number ? item.text
               : item.rank == kUnknownRank ? item.text
                                           : std::string(kQualifiers[item.rank]);
    }
}
}  // namespace

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

    CMavenVersion version;
    version.m_text = std::string(text);
    // Each level is the last item of the one above, and a level above is never appended to
    // again, so these pointers stay valid.
    std::vector<CItem*> levels{&version.m_root};
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
    return version;
}

std::string CMavenVersion::Canonical() const
{
    std::string out;
    Write(m_root, out);
    return out;
}

std::strong_ordering CMavenVersion::operator<=>(const CMavenVersion& other) const
{
    return Compare(m_root, other.m_root) <=> 0;
}
