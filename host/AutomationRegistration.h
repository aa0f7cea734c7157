#pragma once

#include <string>

// The automation class's entries: its registry keys under HKEY_CLASSES_ROOT, and the D-Bus
// activation file through which the session bus starts this program for a client.
class CAutomationRegistration
{
public:
    static constexpr const char* kClsid = "{5DB69F54-1073-11D4-A233-0060B0EE16F3}";
    static constexpr const char* kProgId = "Vantrel.Application";
    static constexpr const char* kBusName = "Vantrel.Application";
    static constexpr const char* kObjectPath = "/Vantrel/Application";
    static constexpr const char* kInterface = "Vantrel.IVantrel";

    // Writes both for the program at programPath; false when either could not be written.
    static bool Write(const std::string& programPath);

    // $XDG_DATA_HOME/dbus-1/services/Vantrel.Application.service (~/.local/share when unset).
    static std::string ServiceFilePath();
    // Exec is the program followed by " -Embedding", quoted for the bus where it must be.
    static std::string ServiceFileText(const std::string& programPath);

private:
    static bool WriteRegistryEntries(const std::string& programPath);
    static bool WriteServiceFile(const std::string& programPath);
};
