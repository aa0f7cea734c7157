#pragma once

#include <cstdint>
#include <string>

#include "VersionPair.h"

// The version a library reports through its DllGetVersion entry point.
class CDllVersion
{
public:
    // Loads the library (a second time, if it is loaded already), asks it, and unloads it.
    bool ReadFromLibrary(const std::string& path);

    const CVersionPair& GetMajorMinor() const { return m_majorMinor; }
    std::uint32_t GetBuild() const { return m_build; }
    std::uint32_t GetPlatform() const { return m_platform; }
    // major.minor.build; the platform is not shown.
    std::string GetText() const;

private:
    CVersionPair m_majorMinor;
    std::uint32_t m_build = 0;
    std::uint32_t m_platform = 0;
};
