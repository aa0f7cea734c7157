#include "DllVersion.h"

#include <dlfcn.h>

#include "DllVersionInfo.h"
#include "ErrorReport.h"

bool CDllVersion::ReadFromLibrary(const std::string& path)
{
    if (path.empty())
        return false;
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* error = dlerror();
        ReportError(error ? error : "cannot load", "CDllVersion::ReadFromLibrary");
        return false;
    }
    bool ok = false;
    auto get = reinterpret_cast<DllGetVersionFunction>(dlsym(library, "DllGetVersion"));
    if (get) {
        DLLVERSIONINFO info{};
        info.cbSize = sizeof info;
        if (get(&info) >= 0) {
            m_majorMinor = CVersionPair(static_cast<std::uint16_t>(info.dwMajorVersion),
                                        static_cast<std::uint16_t>(info.dwMinorVersion));
            m_build = info.dwBuildNumber;
            m_platform = info.dwPlatformID;
            ok = true;
        }
    }
    dlclose(library);
    return ok;
}

std::string CDllVersion::GetText() const
{
    return m_majorMinor.GetText() + "." + std::to_string(m_build);
}
