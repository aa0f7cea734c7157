#include "LookupDatabase.h"

#include <algorithm>
#include <limits>

#include "FileUtil.h"

namespace
{
constexpr size_t kMaxTableSize = 512 * 1024 * 1024;
}  // namespace

bool CLookupDatabase::Load(const std::string& path, std::string& error)
{
    CRows rows;
    if (!ReadFile(path, rows, error))
        return false;
    Load(rows);
    return true;
}

void CLookupDatabase::Load(const CRows& rows)
{
    Clear();
    for (const auto& [className, scid] : rows)
        Add(className, scid);
    Build();
}

bool CLookupDatabase::ReadFile(const std::string& path, CRows& rows, std::string& error)
{
    std::string text;
    if (ReadWholeFile(path, text, kMaxTableSize) != CReadResult::Ok) {
        error = "cannot read the lookup table " + path;
        return false;
    }
    rows.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (line.empty() || line.front() == '#')
            continue;
        size_t tab = line.find('\t');
        if (tab == std::string_view::npos || tab == 0 || tab + 1 == line.size())
            continue;
        rows.emplace_back(std::string(line.substr(0, tab)), std::string(line.substr(tab + 1)));
    }
    return true;
}

void CLookupDatabase::Clear()
{
    m_names.clear();
    m_entries.clear();
    m_scids.clear();
    m_scidIds.clear();
    m_nameCounts.clear();
    m_packageCounts.clear();
    m_scidRowStart.clear();
    m_rowsByScid.clear();
}

void CLookupDatabase::Add(std::string_view className, std::string_view scid)
{
    auto found = m_scidIds.find(scid);
    if (found == m_scidIds.end()) {
        found = m_scidIds.emplace(std::string(scid), static_cast<uint32_t>(m_scids.size())).first;
        m_scids.emplace_back(scid);
    }
    m_entries.push_back({static_cast<uint32_t>(m_names.size()), static_cast<uint32_t>(className.size()), found->second});
    m_names += className;
}

size_t CLookupDatabase::LowerBound(std::string_view name) const
{
    auto found = std::lower_bound(m_entries.begin(), m_entries.end(), name,
                                  [this](const CEntry& entry, std::string_view value) { return Name(entry) < value; });
    return static_cast<size_t>(found - m_entries.begin());
}

void CLookupDatabase::Build()
{
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [this](const CEntry& a, const CEntry& b) { return Name(a) < Name(b); });
    m_nameCounts.assign(m_entries.size(), 0);
    m_packageCounts.clear();
    m_scidRowStart.assign(m_scids.size() + 1, 0);
    for (const CEntry& entry : m_entries)
        ++m_scidRowStart[entry.scid + 1];
    for (size_t i = 1; i < m_scidRowStart.size(); ++i)
        m_scidRowStart[i] += m_scidRowStart[i - 1];
    m_rowsByScid.resize(m_entries.size());
    std::vector<uint32_t> next(m_scidRowStart.begin(), m_scidRowStart.end() - 1);
    for (size_t i = 0; i < m_entries.size(); ++i)
        m_rowsByScid[next[m_entries[i].scid]++] = static_cast<uint32_t>(i);

    // Distinct components of a run of entries: each key gets a stamp of its own, so a
    // component is counted once per key without a set.
    std::vector<uint32_t> seen(m_scids.size(), std::numeric_limits<uint32_t>::max());
    uint32_t stamp = 0;
    auto countWhile = [&](size_t from, std::string_view prefix, bool exact, uint32_t& count) {
        for (size_t i = from; i < m_entries.size(); ++i) {
            std::string_view name = Name(m_entries[i]);
            if (exact ? name != prefix : !name.starts_with(prefix))
                break;
            if (seen[m_entries[i].scid] != stamp) {
                seen[m_entries[i].scid] = stamp;
                ++count;
            }
        }
    };

    std::string_view previous;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        std::string_view name = Name(m_entries[i]);
        if (i > 0 && name == previous)
            continue;
        // Every package (or outer class) prefix this name opens: the names below it follow.
        for (size_t dot = name.find('.'); dot != std::string_view::npos; dot = name.find('.', dot + 1)) {
            std::string_view prefix = name.substr(0, dot + 1);
            if (previous.starts_with(prefix))
                continue;
            uint32_t count = 0;
            ++stamp;
            countWhile(i, prefix, false, count);
            m_packageCounts.emplace(std::string(prefix), count);
        }
        // The class itself and whatever is nested below it.
        uint32_t count = 0;
        ++stamp;
        countWhile(i, name, true, count);
        std::string nested = std::string(name) + ".";
        countWhile(LowerBound(nested), nested, false, count);
        m_nameCounts[i] = count;
        previous = name;
    }
}

int CLookupDatabase::CountComponents(std::string_view prefix) const
{
    if (prefix.empty())
        return 0;
    if (prefix.back() != '.') {
        size_t at = LowerBound(prefix);
        if (at < m_entries.size() && Name(m_entries[at]) == prefix)
            return static_cast<int>(m_nameCounts[at]);
        // Not a class: a package named without its trailing dot.
        auto found = m_packageCounts.find(std::string(prefix) + ".");
        return found == m_packageCounts.end() ? 0 : static_cast<int>(found->second);
    }
    auto found = m_packageCounts.find(prefix);
    return found == m_packageCounts.end() ? 0 : static_cast<int>(found->second);
}

std::vector<std::string> CLookupDatabase::FindComponents(std::string_view className) const
{
    std::vector<std::string> found;
    for (size_t i = LowerBound(className); i < m_entries.size() && Name(m_entries[i]) == className; ++i) {
        const std::string& scid = m_scids[m_entries[i].scid];
        if (std::find(found.begin(), found.end(), scid) == found.end())
            found.push_back(scid);
    }
    return found;
}

std::vector<std::string_view> CLookupDatabase::ClassesOf(std::string_view scid) const
{
    std::vector<std::string_view> names;
    auto found = m_scidIds.find(scid);
    if (found == m_scidIds.end() || found->second + 1 >= m_scidRowStart.size())
        return names;
    for (uint32_t i = m_scidRowStart[found->second]; i < m_scidRowStart[found->second + 1]; ++i) {
        std::string_view name = Name(m_entries[m_rowsByScid[i]]);
        if (names.empty() || names.back() != name)
            names.push_back(name);
    }
    return names;
}
