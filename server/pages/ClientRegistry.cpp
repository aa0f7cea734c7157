#include "ClientRegistry.h"

#include "CleanText.h"
#include "ServerStore.h"

namespace
{
constexpr size_t kMaxField = 256;
}  // namespace

bool CClientRegistry::IsClientId(const std::string& text)
{
    if (text.empty() || text.size() > 18 || text == "0")
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return text[0] != '0';
}

std::string CClientRegistry::Register(const std::string& clientId, const std::string& email,
                                      const std::string& version, std::string& error)
{
    uint64_t presented = IsClientId(clientId) ? std::stoull(clientId) : 0;
    uint64_t id = m_store.Clients().Register(presented, CleanText(email.substr(0, kMaxField)),
                                             CleanText(version.substr(0, kMaxField)), error);
    if (id == 0) {
        m_store.LogFailure("handing out a client id", error);
        return {};
    }
    return std::to_string(id);
}
