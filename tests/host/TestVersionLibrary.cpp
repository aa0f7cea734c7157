// Answers DllGetVersion as a library of file version 1.0.0.9 does.
#include "DllVersionInfo.h"

extern "C" __attribute__((visibility("default"))) HRESULT DllGetVersion(DLLVERSIONINFO* info)
{
    if (!info || info->cbSize != sizeof(DLLVERSIONINFO))
        return E_INVALIDARG;
    info->dwMajorVersion = 1;
    info->dwMinorVersion = 0;
    info->dwBuildNumber = (0u << 16) | 9u;
    info->dwPlatformID = DLLVER_PLATFORM_WINDOWS;
    return S_OK;
}
