#pragma once

#include <mutex>
#include <string>
#include <vector>

struct DBusConnection;

// The bridge's session-bus connection to the host's automation object. It is opened at
// the first call and kept for the life of the process: a host the bus started for the IDE
// stays connected to it and sees it go when the IDE's process ends.
class CHostConnection
{
public:
    // The one connection of the process; never destroyed, as the IDE never unloads us.
    static CHostConnection& Instance();

    // Calls a method of the host object with string arguments and waits until the host has
    // processed it; the bus starts the host when none runs. False, with the reason in
    // error, when there is no bus, no host, or no answer in time.
    bool Call(const char* method, const std::vector<std::string>& args, std::string& error);

private:
    CHostConnection() = default;

    // A reference of its own on the open connection, reopened after a disconnect.
    DBusConnection* Acquire(std::string& error);

    std::mutex m_mutex;
    DBusConnection* m_connection = nullptr;
};
