#pragma once

#include <chrono>
#include <string>

#include "VendorServers.h"

// A first start where nothing answers at the server address on this machine would only
// show empty tabs: the user is told instead that no server answers and how to start one.
class CNoServerNotice
{
public:
    // The text to show, or empty when there is nothing to say: this user's program was
    // registered by a server before, the server is another machine, or something listens.
    // systemdDir: present where systemd runs the system (the packaged service is there).
    static std::string Check(const std::string& systemdDir = "/run/systemd/system");

    // Whether address takes a TCP connection within timeout.
    static bool Listens(const CServerAddress& address, std::chrono::milliseconds timeout);

    static std::string Text(const std::string& serverUrl, bool systemd);
};
