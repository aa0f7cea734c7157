#include "LookupService.h"

#include <utility>

#include "LookupConnection.h"

CLookupService::CLookupService(CLookupConnection& connection, std::function<bool()> reconnect)
    : m_connection(connection), m_reconnect(std::move(reconnect))
{
}

bool CLookupService::LookUp(const std::vector<std::string>& names)
{
    std::vector<std::string> missing;
    for (const std::string& name : names)
        if (!m_scidsOf.count(name))
            missing.push_back(name);
    const size_t before = m_scidsOf.size();
    bool ok = missing.empty() || m_connection.FindScidsPipelined(missing, m_scidsOf);
    // A connection the server ended (its lifetime, a restart) is made once more.
    if (!ok && m_reconnect && m_reconnect()) {
        std::erase_if(missing, [this](const std::string& name) { return m_scidsOf.count(name) != 0; });
        ok = m_connection.FindScidsPipelined(missing, m_scidsOf);
    }
    m_namesLookedUp += m_scidsOf.size() - before;
    return ok;
}

const std::vector<std::string>& CLookupService::ScidsOf(const std::string& name) const
{
    static const std::vector<std::string> none;
    const auto found = m_scidsOf.find(name);
    return found == m_scidsOf.end() ? none : found->second;
}

void CLookupService::FindScids(const std::string& name, std::vector<std::string>& scids)
{
    m_connection.FindScids(name, scids);
    ++m_namesLookedUp;
}
