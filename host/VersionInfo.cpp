#include "VersionInfo.h"

bool CVersionInfo::ReadFromFile(const std::string& path)
{
    m_fixed = {};
    m_translation = 0;
    std::optional<CVersionBlock> block = ReadVersionBlock(path);
    if (!block || block->fixed.dwSignature != kVersionSignature)
        return false;
    m_fixed = block->fixed;
    m_translation = block->translation;
    return true;
}

bool CVersionInfo::ReadFromModule(const void* address)
{
    std::string path = ModulePathOf(address);
    if (path.empty() || path.size() > 4096) {
        m_fixed = {};
        m_translation = 0;
        return false;
    }
    return ReadFromFile(path);
}

CFileVersion CVersionInfo::GetFileVersion() const
{
    return {CVersionPair(m_fixed.dwFileVersionMS), CVersionPair(m_fixed.dwFileVersionLS)};
}

CFileVersion CVersionInfo::GetProductVersion() const
{
    return {CVersionPair(m_fixed.dwProductVersionMS), CVersionPair(m_fixed.dwProductVersionLS)};
}
