#pragma once

#include <cstdint>

// What the control library's DllGetVersion fills in, laid out as Windows' DLLVERSIONINFO.
struct DLLVERSIONINFO
{
    std::uint32_t cbSize;  // 20
    std::uint32_t dwMajorVersion;
    std::uint32_t dwMinorVersion;
    std::uint32_t dwBuildNumber;
    std::uint32_t dwPlatformID;
};

using HRESULT = std::int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);

constexpr std::uint32_t DLLVER_PLATFORM_WINDOWS = 1;

using DllGetVersionFunction = HRESULT (*)(DLLVERSIONINFO*);
