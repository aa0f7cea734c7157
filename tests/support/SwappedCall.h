#pragma once

#include <type_traits>

// Puts a replacement into one entry of a call table (sys::Calls(), zipsys::Calls()) and the
// original back when the scope ends, also when a failed assertion leaves the test early:
//     CSwappedCall full(sys::Calls().write, [](int, const void*, size_t) -> ssize_t { ... });
template <typename Function>
class CSwappedCall
{
public:
    CSwappedCall(Function& entry, std::type_identity_t<Function> replacement)
        : m_entry(entry), m_original(entry)
    {
        m_entry = replacement;
    }
    ~CSwappedCall() { m_entry = m_original; }
    CSwappedCall(const CSwappedCall&) = delete;
    CSwappedCall& operator=(const CSwappedCall&) = delete;

private:
    Function& m_entry;
    Function m_original;
};
