#include "SettingsSetup.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "Registry.h"
#include "RegistryFile.h"
#include "Settings.h"

namespace
{
std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value ? value : "";
}
}  // namespace

std::string DefaultDataDirectory()
{
    if (const std::string xdg = Environment("XDG_DATA_HOME"); !xdg.empty())
        return xdg + "/corvane";
    if (const std::string home = Environment("HOME"); !home.empty())
        return home + "/.local/share/corvane";
    return "./corvane-data";
}

std::string DefaultInstallPath()
{
    if (const std::string home = Environment("HOME"); !home.empty())
        return home + "/.local/lib/corvane";
    return "./corvane";
}

std::string SetUpSettings(const std::string& dataDirectory)
{
    // Every start of the program comes here: a file that has both keys is only read.
    const CRegistryFile file = CRegistryFile::Load(CRegistryFile::DefaultPath());
    for (const char* key : {kMainKey, kUserKey}) {
        if (!file.HasKey(std::string("HKEY_LOCAL_MACHINE\\") + key) && !RegCreateKey(HKEY_LOCAL_MACHINE, key))
            return "cannot write " + CRegistryFile::DefaultPath();
    }
    std::string data = RegReadString(HKEY_LOCAL_MACHINE, kMainKey, "Data", "");
    if (data.empty()) {
        data = dataDirectory.empty() ? DefaultDataDirectory() : dataDirectory;
        if (!RegWriteString(HKEY_LOCAL_MACHINE, kMainKey, "Data", data))
            return "cannot write " + CRegistryFile::DefaultPath();
    }
    std::error_code ec;
    for (const char* sub : {"Java", "Market", "Local"})
        std::filesystem::create_directories(std::filesystem::path(data) / sub, ec);
    if (ec)
        return "cannot create " + data + ": " + ec.message();
    return {};
}
