#include "ByteReader.h"

bool CByteReader::U8(std::uint64_t& value)
{
    std::uint32_t high = 0, low = 0;
    if (!U4(high) || !U4(low))
        return false;
    value = (std::uint64_t{high} << 32) | low;
    return true;
}

bool CByteReader::Skip(size_t count)
{
    if (m_bytes.size() - m_at < count)
        return false;
    m_at += count;
    return true;
}

bool CByteReader::Bytes(size_t count, std::string_view& out)
{
    if (m_bytes.size() - m_at < count)
        return false;
    out = m_bytes.substr(m_at, count);
    m_at += count;
    return true;
}

bool CByteReader::Read(size_t count, std::uint32_t& value)
{
    if (m_bytes.size() - m_at < count)
        return false;
    value = 0;
    for (size_t i = 0; i < count; ++i)
        value = (value << 8) | static_cast<unsigned char>(m_bytes[m_at++]);
    return true;
}
