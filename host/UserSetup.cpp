#include "UserSetup.h"

#include <filesystem>
#include <system_error>

#include <dlfcn.h>

#include "Registry.h"
#include "Settings.h"
#include "SettingsSetup.h"
#include "SpindleCtrlInterface.h"

namespace
{
bool IsFile(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}
}  // namespace

CUserSetup::CUserSetup(const std::string& programPath)
{
#ifdef TARNEL_CONTROL_FROM_PROGRAM
    if (!programPath.empty()) {
        const std::filesystem::path control =
            std::filesystem::path(programPath).parent_path() / TARNEL_CONTROL_FROM_PROGRAM;
        if (IsFile(control.string()))
            m_installedControl = control.lexically_normal().string();
    }
#else
    (void)programPath;
#endif
}

std::string CUserSetup::RegisteredControl()
{
    return RegReadString(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kSpindleCtrlClsid + "\\InprocServer32", "", "");
}

std::string CUserSetup::Run() const
{
    if (std::string problem = SetUpSettings(); !problem.empty())
        return problem;
    std::string path = GetInstallPath();
    if (path.empty() || path == ".") {
        path = DefaultInstallPath();
        if (!RegWriteString(HKEY_LOCAL_MACHINE, kMainKey, "Path", path))
            return "cannot set Path";
    }
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec)
        return "cannot create " + path + ": " + ec.message();
    if (!m_installedControl.empty() && !IsFile(RegisteredControl()))
        return RegisterInstalledControl();
    return {};
}

// As regsvr does: the library writes its own entries, under the path it was loaded from.
std::string CUserSetup::RegisterInstalledControl() const
{
    // Kept loaded: the program loads it again right after, and its static objects hold Qt state.
    void* library = dlopen(m_installedControl.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* error = dlerror();
        return m_installedControl + ": " + (error ? error : "cannot load");
    }
    auto registerServer = reinterpret_cast<DllRegisterServerFunction>(dlsym(library, "DllRegisterServer"));
    if (!registerServer || registerServer() < 0)
        return "cannot register " + m_installedControl;
    return {};
}
