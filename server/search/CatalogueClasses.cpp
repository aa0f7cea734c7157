#include "CatalogueClasses.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <unordered_map>

#include "GeneratedXml.h"
#include "LookupDatabase.h"

bool CCatalogueClasses::ParseRanges(std::string_view text, std::vector<std::pair<size_t, size_t>>& ranges)
{
    ranges.clear();
    size_t at = 0;
    auto number = [&](size_t& value) {
        auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
        if (error != std::errc())
            return false;
        at = static_cast<size_t>(end - text.data());
        return true;
    };
    while (at < text.size()) {
        if (text[at] == ' ') {
            ++at;
            continue;
        }
        size_t first = 0, last = 0;
        if (!number(first))
            return false;
        last = first;
        if (at < text.size() && text[at] == '-' && (++at, !number(last)))
            return false;
        if (last < first || (at < text.size() && text[at] != ' '))
            return false;
        ranges.emplace_back(first, last);
    }
    return true;
}

std::vector<bool> CCatalogueClasses::HeldBy(const CCatalogueSearch::CVersion& version, size_t count)
{
    std::vector<std::pair<size_t, size_t>> ranges;
    // A version that holds them all, or whose list cannot be read: that hides nothing.
    if (version.allClasses || !ParseRanges(version.classRanges, ranges))
        return std::vector<bool>(count, true);
    std::vector<bool> held(count, false);
    for (auto [first, last] : ranges)
        for (size_t i = first; i <= last && i < count; ++i)
            held[i] = true;
    return held;
}

std::vector<std::string_view> CCatalogueClasses::ClassesOf(const std::string& scid,
                                                            const std::vector<std::string>& versions)
{
    std::vector<std::string_view> all = m_lookup.ClassesOf(scid);
    std::string error;
    auto catalogue = m_catalogue.Current(error);
    const CCatalogueSearch::CComponent* component = catalogue ? catalogue->Find(scid) : nullptr;
    if (!component)
        return all;
    std::vector<bool> held(all.size(), false);
    bool known = false;
    for (const CCatalogueSearch::CVersion& version : component->versions) {
        if (std::find(versions.begin(), versions.end(), version.name) == versions.end())
            continue;
        known = true;
        const std::vector<bool> mine = HeldBy(version, all.size());
        for (size_t i = 0; i < all.size(); ++i)
            held[i] = held[i] || mine[i];
    }
    if (!known)
        return all;
    std::vector<std::string_view> names;
    for (size_t i = 0; i < all.size(); ++i)
        if (held[i])
            names.push_back(all[i]);
    return names;
}

std::vector<CCatalogueClasses::CHolder> CCatalogueClasses::HoldersOf(std::string_view className)
{
    std::vector<CHolder> holders;
    std::string error;
    auto catalogue = m_catalogue.Current(error);
    for (const std::string& scid : m_lookup.FindComponents(className)) {
        CHolder holder{scid, scid, {}};
        if (const CCatalogueSearch::CComponent* component = catalogue ? catalogue->Find(scid) : nullptr) {
            holder.name = component->name.text;
            const std::vector<std::string_view> all = m_lookup.ClassesOf(scid);
            const size_t position = static_cast<size_t>(std::lower_bound(all.begin(), all.end(), className) - all.begin());
            for (const CCatalogueSearch::CVersion& version : component->versions)
                if (position < all.size() && HeldBy(version, all.size())[position])
                    holder.versions.push_back(version.name);
        }
        holders.push_back(std::move(holder));
    }
    return holders;
}

const std::vector<CCatalogueClasses::CSimpleName>& CCatalogueClasses::SimpleNames()
{
    // Built on the first class search: the lookup table does not change while the server runs.
    std::call_once(m_indexed, [this] {
        std::unordered_map<std::string_view, size_t> seen;
        for (size_t row = 0; row < m_lookup.ClassCount(); ++row) {
            std::string_view name = m_lookup.ClassAt(row);
            std::string_view simple = name.substr(name.rfind('.') + 1);
            auto [at, added] = seen.emplace(simple, m_simpleNames.size());
            if (added)
                m_simpleNames.push_back({simple, CFoldedName::CharactersOf(simple), {}});
            m_simpleNames[at->second].rows.push_back(static_cast<uint32_t>(row));
        }
    });
    return m_simpleNames;
}

std::vector<CCatalogueClasses::CHit> CCatalogueClasses::Search(std::string_view query, size_t limit)
{
    CNameMatcher matcher(query);
    std::vector<CHit> hits;
    if (matcher.Empty())
        return hits;
    struct CRanked
    {
        CMatchRank rank;
        std::string_view simple;
        uint32_t row;
    };
    std::vector<CRanked> ranked;
    const uint64_t needed = matcher.Characters();
    for (const CSimpleName& simple : SimpleNames()) {
        if (!matcher.HasDot()) {
            if ((needed & ~simple.characters) != 0)
                continue;
            if (CMatchRank rank = matcher.Rank(CFoldedName(simple.name)); rank != kNoMatch)
                for (uint32_t row : simple.rows)
                    ranked.push_back({rank, simple.name, row});
            continue;
        }
        for (uint32_t row : simple.rows) {
            const std::string_view name = m_lookup.ClassAt(row);
            if ((needed & ~CFoldedName::CharactersOf(name)) != 0)
                continue;
            if (CMatchRank rank = matcher.Rank(CFoldedName(name)); rank != kNoMatch)
                ranked.push_back({rank, simple.name, row});
        }
    }
    auto order = [this](const CRanked& a, const CRanked& b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        if (a.simple.size() != b.simple.size())
            return a.simple.size() < b.simple.size();
        return m_lookup.ClassAt(a.row) != m_lookup.ClassAt(b.row) ? m_lookup.ClassAt(a.row) < m_lookup.ClassAt(b.row)
                                                                  : a.row < b.row;
    };
    const size_t kept = std::min(limit, ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(kept), ranked.end(), order);
    for (size_t i = 0; i < kept; ++i)
        hits.push_back({std::string(m_lookup.ClassAt(ranked[i].row)), m_lookup.ScidAt(ranked[i].row)});
    return hits;
}

std::string CCatalogueClasses::ClassListAnswer(const std::string& scid, const std::vector<std::string>& versions)
{
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<classes SCID=\"";
    CGeneratedXml::AppendEscaped(out, scid);
    out += "\">";
    // Grouped by package, each package once: the names are sorted, but "a.b.C" sorts between
    // the classes of "a.b" and those of "a.b.c".
    std::map<std::string_view, std::vector<std::string_view>> packages;
    for (std::string_view name : ClassesOf(scid, versions)) {
        const size_t dot = name.rfind('.');
        packages[dot == std::string_view::npos ? std::string_view() : name.substr(0, dot)].push_back(name);
    }
    for (const auto& [package, names] : packages) {
        out += "\n  <package name=\"";
        CGeneratedXml::AppendEscaped(out, package);
        out += "\">";
        for (std::string_view name : names) {
            out += "<class name=\"";
            CGeneratedXml::AppendEscaped(out, name);
            out += "\"/>";
        }
        out += "</package>";
    }
    return out + "\n</classes>\n";
}

void CCatalogueClasses::AppendSearchRows(std::string& out, const std::vector<CHit>& hits)
{
    for (const CHit& hit : hits) {
        out += "  <class name=\"";
        CGeneratedXml::AppendEscaped(out, hit.className);
        out += "\" SCID=\"";
        CGeneratedXml::AppendEscaped(out, hit.scid);
        out += "\"/>\n";
    }
}
