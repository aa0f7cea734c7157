// The entry points of libtarnelctrl.so, the only symbols the library exports.

#include <cstring>
#include <filesystem>
#include <optional>

#include <strings.h>

#include "ControlRegistration.h"
#include "DllVersionInfo.h"
#include "SpindleCtrl.h"
#include "SpindleCtrlFactory.h"
#include "SpindleCtrlInterface.h"
#include "VersionBlock.h"

namespace
{
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);

// Any object of the library will do to find the file it was loaded from.
const char kModuleAnchor = 0;

// Made absolute: a library loaded by a relative path must be found from anywhere.
std::string LibraryPath()
{
    const std::string path = ModulePathOf(&kModuleAnchor);
    if (path.empty())
        return {};
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? std::string() : absolute.lexically_normal().string();
}
}  // namespace

#define CONTROL_EXPORT extern "C" __attribute__((visibility("default")))

CONTROL_EXPORT HRESULT DllGetClassObject(const char* clsid, IClassFactory** factory)
{
    if (!factory)
        return E_INVALIDARG;
    *factory = nullptr;
    // Class ids compare as GUIDs do, without regard to case.
    if (!clsid || ::strcasecmp(clsid, kSpindleCtrlClsid) != 0)
        return CLASS_E_CLASSNOTAVAILABLE;
    *factory = &CSpindleCtrlFactory::Instance();
    return S_OK;
}

CONTROL_EXPORT HRESULT DllCanUnloadNow()
{
    return CSpindleCtrl::GetInstanceCount() == 0 ? S_OK : S_FALSE;
}

CONTROL_EXPORT HRESULT DllRegisterServer()
{
    return RegisterControlLibrary(LibraryPath()) ? S_OK : E_FAIL;
}

CONTROL_EXPORT HRESULT DllUnregisterServer()
{
    return UnregisterControlLibrary() ? S_OK : E_FAIL;
}

CONTROL_EXPORT HRESULT DllGetVersion(DLLVERSIONINFO* info)
{
    if (!info)
        return E_INVALIDARG;
    const std::optional<CVersionBlock> block = ReadVersionBlock(ModulePathOf(&kModuleAnchor));
    // The call itself succeeds: a library whose version cannot be read reports 0.0.0.
    if (!block) {
        info->dwMajorVersion = info->dwMinorVersion = info->dwBuildNumber = 0;
        info->dwPlatformID = DLLVER_PLATFORM_WINDOWS;
        return S_OK;
    }
    info->dwMajorVersion = block->fixed.dwFileVersionMS >> 16;
    info->dwMinorVersion = block->fixed.dwFileVersionMS & 0xFFFFu;
    info->dwBuildNumber = block->fixed.dwFileVersionLS;
    info->dwPlatformID = DLLVER_PLATFORM_WINDOWS;
    return S_OK;
}
