#pragma once

#include <cstdint>
#include <mutex>
#include <string>

// Client ids handed out by "/Vantrel/ui/clientid.jsp", kept in "clients.txt" of the state
// directory (id, e-mail, program version, time; one registration a line, appended).
class CClientRegistry
{
public:
    bool Open(const std::string& stateDir, std::string& error);

    // A new id for a client that has none ("0", empty or not an id); the same id otherwise.
    std::string Register(const std::string& clientId, const std::string& email, const std::string& version);

    static bool IsClientId(const std::string& text);

private:
    bool Append(const std::string& line);

    std::mutex m_mutex;
    std::string m_path;
    uint64_t m_next = 100001;
};
