#pragma once

#include <string>

// A packaged program's first start does for its user what the run command does by hand:
// the settings keys with "Data" and its folders, "Path", and the control registered for
// the library installed with the program. Whatever is already there, the user's own
// choices and another installation's registration, is left alone; only a registration
// whose library is gone is replaced.
class CUserSetup
{
public:
    // programPath: this program's file; the installed control lies at a fixed place
    // relative to it (TARNEL_CONTROL_FROM_PROGRAM).
    explicit CUserSetup(const std::string& programPath);

    // The control library installed with this program; empty when there is none.
    const std::string& GetInstalledControl() const { return m_installedControl; }

    // Each part that is missing; empty when all is in place, else what failed.
    std::string Run() const;

    // The library registered for the control; empty when none is.
    static std::string RegisteredControl();

private:
    std::string RegisterInstalledControl() const;

    std::string m_installedControl;
};
