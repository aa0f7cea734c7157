#include "PrefixCache.h"

CPrefixCache& CPrefixCache::Process()
{
    // Never destroyed, so that a scan thread still running at exit finds it intact.
    static CPrefixCache* cache = new CPrefixCache;
    return *cache;
}

std::optional<bool> CPrefixCache::Find(const std::string& prefix) const
{
    std::lock_guard lock(m_mutex);
    auto found = m_entries.find(prefix);
    if (found == m_entries.end())
        return std::nullopt;
    return found->second;
}

void CPrefixCache::Add(const std::string& prefix, bool hasComponents)
{
    std::lock_guard lock(m_mutex);
    m_entries.emplace(prefix, hasComponents);
}

size_t CPrefixCache::GetSize() const
{
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}
