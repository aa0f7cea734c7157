#include "LookupDatabase.h"

#include <algorithm>
#include <set>

#include "FileUtil.h"

namespace
{
constexpr size_t kMaxTableSize = 512 * 1024 * 1024;

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}
}  // namespace

bool CLookupDatabase::Load(const std::string& path, std::string& error)
{
    CRows rows;
    if (!ReadFile(path, rows, error))
        return false;
    Load(std::move(rows));
    return true;
}

void CLookupDatabase::Load(CRows rows)
{
    m_entries = std::move(rows);
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
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

int CLookupDatabase::CountComponents(std::string_view prefix) const
{
    if (prefix.empty())
        return 0;
    std::set<std::string_view> components;
    auto first = std::lower_bound(m_entries.begin(), m_entries.end(), prefix,
                                  [](const auto& entry, std::string_view value) { return entry.first < value; });
    bool package = prefix.back() == '.';
    for (auto it = first; it != m_entries.end() && StartsWith(it->first, prefix); ++it) {
        std::string_view name = it->first;
        if (package || name.size() == prefix.size() || name[prefix.size()] == '.')
            components.insert(it->second);
    }
    return static_cast<int>(components.size());
}

std::vector<std::string> CLookupDatabase::FindComponents(std::string_view className) const
{
    std::vector<std::string> found;
    auto range = std::equal_range(m_entries.begin(), m_entries.end(), std::pair<std::string, std::string>(className, ""),
                                  [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto it = range.first; it != range.second; ++it)
        if (std::find(found.begin(), found.end(), it->second) == found.end())
            found.push_back(it->second);
    return found;
}
