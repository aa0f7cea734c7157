#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

// What the lookup server said about name prefixes: whether any known component has
// classes under them. One cache serves every scan of the process, so each package is
// asked about once; answers are only added, never changed or dropped.
class CPrefixCache
{
public:
    CPrefixCache() = default;
    CPrefixCache(const CPrefixCache&) = delete;
    CPrefixCache& operator=(const CPrefixCache&) = delete;

    // The cache that lookups use unless they are given another.
    static CPrefixCache& Process();

    // Nothing when the prefix has not been answered yet.
    std::optional<bool> Find(const std::string& prefix) const;
    // The first answer for a prefix stays.
    void Add(const std::string& prefix, bool hasComponents);
    size_t GetSize() const;

private:
    // Two scans may run at once even though the dialog is modal (a second control).
    mutable std::mutex m_mutex;
    std::map<std::string, bool> m_entries;
};
