#pragma once

#include <cstdint>
#include <string>

// Two 16-bit halves of a version word, shown as "high.low".
class CVersionPair
{
public:
    CVersionPair() = default;
    CVersionPair(std::uint16_t high, std::uint16_t low) : m_high(high), m_low(low) {}
    explicit CVersionPair(std::uint32_t word) : m_high(word >> 16), m_low(word & 0xFFFF) {}

    std::uint16_t GetHigh() const { return m_high; }
    std::uint16_t GetLow() const { return m_low; }
    std::string GetText() const { return std::to_string(m_high) + "." + std::to_string(m_low); }

private:
    std::uint16_t m_high = 0;
    std::uint16_t m_low = 0;
};
