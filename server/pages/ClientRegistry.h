#pragma once

#include <string>

class CServerStore;

// Client ids handed out by "/Vantrel/ui/clientid.jsp", kept in the server's store with every
// registration (e-mail address, program version, time).
class CClientRegistry
{
public:
    explicit CClientRegistry(CServerStore& store) : m_store(store) {}

    // The id the client keeps: the one it sent when this server's store issued it, a new one
    // otherwise ("0", empty, not an id, or an id nobody issued). Empty when the store failed.
    std::string Register(const std::string& clientId, const std::string& email, const std::string& version,
                         std::string& error);

    static bool IsClientId(const std::string& text);

private:
    CServerStore& m_store;
};
