#pragma once

#include <string>

#include "VersionPair.h"

// A four-part version a.b.c.d from the most and least significant version words.
class CFileVersion
{
public:
    CFileVersion() = default;
    CFileVersion(CVersionPair first, CVersionPair second) : m_first(first), m_second(second) {}

    const CVersionPair& GetFirst() const { return m_first; }
    const CVersionPair& GetSecond() const { return m_second; }
    std::string GetText() const { return m_first.GetText() + "." + m_second.GetText(); }

private:
    CVersionPair m_first;
    CVersionPair m_second;
};
