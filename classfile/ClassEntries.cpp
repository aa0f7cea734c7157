#include "ClassEntries.h"

#include <unordered_set>
#include <utility>

namespace
{
constexpr std::string_view kMetaInf = "META-INF/";
constexpr std::string_view kVersions = "META-INF/versions/";

// Whether the path names a class file (".class" anywhere in it); name is then walked from
// the path's start: separators become '.', and the name ends at the first '.' or '$' of its
// own (so inner classes fold into their outer class).
bool ClassNameOf(std::string_view entry, std::string& name)
{
    if (entry.find(".class") == std::string_view::npos)
        return false;
    name.reserve(entry.size());
    for (char c : entry) {
        if (c == '/' || c == '\\')
            name += '.';
        else if (c == '.' || c == '$')
            break;
        else
            name += c;
    }
    return CClassEntries::IsClassName(name);
}
}  // namespace

void CClassEntries::Add(std::string_view entry)
{
    if (entry.size() > kMaxEntryLength)
        return;
    std::string name;
    if (!entry.starts_with(kMetaInf)) {
        if (ClassNameOf(entry, name))
            m_names.push_back(std::move(name));
        return;
    }
    const std::string_view held = VersionedPath(entry);
    if (!held.empty() && ClassNameOf(held, name) && !name.empty())
        m_versioned.push_back(std::move(name));
}

void CClassEntries::MoveTo(std::vector<std::string>& names)
{
    if (!m_versioned.empty()) {
        std::unordered_set<std::string> seen(m_names.begin(), m_names.end());
        for (std::string& name : m_versioned)
            if (seen.insert(name).second)
                m_names.push_back(std::move(name));
        m_versioned.clear();
    }
    if (names.empty())
        names = std::move(m_names);
    else
        names.insert(names.end(), std::make_move_iterator(m_names.begin()), std::make_move_iterator(m_names.end()));
    m_names.clear();
}

bool CClassEntries::NameOf(std::string_view entry, std::string& name)
{
    name.clear();
    if (entry.size() > kMaxEntryLength)
        return false;
    if (!entry.starts_with(kMetaInf))
        return ClassNameOf(entry, name);
    const std::string_view held = VersionedPath(entry);
    return !held.empty() && ClassNameOf(held, name) && !name.empty();
}

std::string_view CClassEntries::VersionedPath(std::string_view entry)
{
    if (!entry.starts_with(kVersions))
        return {};
    entry.remove_prefix(kVersions.size());
    size_t digits = 0;
    while (digits < entry.size() && entry[digits] >= '0' && entry[digits] <= '9')
        ++digits;
    if (digits == 0 || digits == entry.size() || entry[digits] != '/')
        return {};
    return entry.substr(digits + 1);
}

bool CClassEntries::IsClassName(std::string_view name)
{
    const size_t dot = name.rfind('.');
    const std::string_view simple = dot == std::string_view::npos ? name : name.substr(dot + 1);
    return simple != "module-info" && simple != "package-info";
}
