#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// A big-endian reader of class-file bytes that turns every overrun into a failure.
class CByteReader
{
public:
    explicit CByteReader(std::string_view bytes) : m_bytes(bytes) {}

    bool U1(std::uint32_t& value) { return Read(1, value); }
    bool U2(std::uint32_t& value) { return Read(2, value); }
    bool U4(std::uint32_t& value) { return Read(4, value); }
    bool U8(std::uint64_t& value);
    bool Skip(size_t count);
    bool Bytes(size_t count, std::string_view& out);
    size_t Offset() const { return m_at; }
    bool AtEnd() const { return m_at == m_bytes.size(); }

private:
    bool Read(size_t count, std::uint32_t& value);

    std::string_view m_bytes;
    size_t m_at = 0;
};
