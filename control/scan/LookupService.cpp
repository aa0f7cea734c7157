#include "LookupService.h"

#include <unordered_set>
#include <utility>

#include "LookupConnection.h"

CLookupService::CLookupService(CLookupConnection& connection, std::function<bool()> reconnect)
    : m_connection(connection), m_reconnect(std::move(reconnect))
{
}

bool CLookupService::WithReconnect(const std::function<bool()>& ask)
{
    if (ask())
        return true;
    // A connection the server ended (its lifetime, a restart) is made once more.
    return m_reconnect && m_reconnect() && ask();
}

bool CLookupService::LookUp(const std::vector<std::string>& names)
{
    std::vector<std::string> missing;
    for (const std::string& name : names)
        if (!m_scidsOf.count(name))
            missing.push_back(name);
    const size_t before = m_scidsOf.size();
    bool ok = missing.empty() || WithReconnect([&] {
                  // What the failed connection answered is not asked again.
                  std::erase_if(missing, [this](const std::string& name) { return m_scidsOf.count(name) != 0; });
                  return m_connection.FindScidsPipelined(missing, m_scidsOf);
              });
    m_namesLookedUp += m_scidsOf.size() - before;
    return ok;
}

const std::vector<std::string>& CLookupService::ScidsOf(const std::string& name) const
{
    static const std::vector<std::string> none;
    const auto found = m_scidsOf.find(name);
    return found == m_scidsOf.end() ? none : found->second;
}

bool CLookupService::LookUpFingerprints(const std::vector<uint64_t>& fingerprints)
{
    std::vector<uint64_t> missing;
    std::unordered_set<uint64_t> seen;
    for (uint64_t fingerprint : fingerprints)
        if (!m_versionsOf.count(fingerprint) && seen.insert(fingerprint).second)
            missing.push_back(fingerprint);
    return missing.empty() || WithReconnect([&] {
               std::erase_if(missing, [this](uint64_t fingerprint) { return m_versionsOf.count(fingerprint) != 0; });
               return m_connection.FindVersionsPipelined(missing, m_versionsOf);
           });
}

const std::vector<CFingerprintHit>& CLookupService::VersionsOf(uint64_t fingerprint) const
{
    static const std::vector<CFingerprintHit> none;
    const auto found = m_versionsOf.find(fingerprint);
    return found == m_versionsOf.end() ? none : found->second;
}

void CLookupService::FindScids(const std::string& name, std::vector<std::string>& scids)
{
    m_connection.FindScids(name, scids);
    ++m_namesLookedUp;
}
