#pragma once

#include <cstdint>
#include <string>

#include "FileVersion.h"
#include "VersionBlock.h"

// The version block of one binary, read from its file without loading it.
class CVersionInfo
{
public:
    // Each read starts from zero; false leaves the fixed info zeroed.
    bool ReadFromFile(const std::string& path);
    // The file that holds address (the program itself or a library), as GetModuleFileName.
    bool ReadFromModule(const void* address);

    CFileVersion GetFileVersion() const;
    CFileVersion GetProductVersion() const;
    std::uint32_t GetTranslation() const { return m_translation; }

private:
    VS_FIXEDFILEINFO m_fixed{};
    std::uint32_t m_translation = 0;
};
