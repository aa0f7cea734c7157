#include "ClassFile.h"

#include <cstdint>
#include <vector>

namespace
{
// A big-endian reader that turns every overrun into a failure.
class CReader
{
public:
    explicit CReader(std::string_view bytes) : m_bytes(bytes) {}

    bool U1(std::uint32_t& value) { return Read(1, value); }
    bool U2(std::uint32_t& value) { return Read(2, value); }
    bool U4(std::uint32_t& value) { return Read(4, value); }
    bool Skip(size_t count)
    {
        if (m_bytes.size() - m_at < count)
            return false;
        m_at += count;
        return true;
    }
    bool Bytes(size_t count, std::string_view& out)
    {
        if (m_bytes.size() - m_at < count)
            return false;
        out = m_bytes.substr(m_at, count);
        m_at += count;
        return true;
    }

private:
    bool Read(size_t count, std::uint32_t& value)
    {
        if (m_bytes.size() - m_at < count)
            return false;
        value = 0;
        for (size_t i = 0; i < count; ++i)
            value = (value << 8) | static_cast<unsigned char>(m_bytes[m_at++]);
        return true;
    }

    std::string_view m_bytes;
    size_t m_at = 0;
};

// The constant pool tags and the bytes each entry holds after its tag.
enum : std::uint32_t
{
    kUtf8 = 1,
    kClass = 7,
    kLong = 5,
    kDouble = 6,
};

size_t FixedSize(std::uint32_t tag)
{
    switch (tag) {
    case 3: case 4: return 4;            // Integer, Float
    case kLong: case kDouble: return 8;
    case kClass: case 8: case 16: case 19: case 20: return 2;  // Class, String, MethodType, Module, Package
    case 9: case 10: case 11: case 12: case 17: case 18: return 4;  // refs, NameAndType, Dynamic
    case 15: return 3;                   // MethodHandle
    default: return 0;                   // unknown: not a class file we can read
    }
}

struct CEntry
{
    std::uint32_t tag = 0;
    std::uint32_t index = 0;   // Class: its name's entry
    std::string_view text;     // Utf8
};
}  // namespace

std::optional<std::string> CClassFile::ReadDeclaredName(std::string_view bytes)
{
    CReader reader(bytes);
    std::uint32_t magic = 0, count = 0;
    if (!reader.U4(magic) || magic != 0xCAFEBABE || !reader.Skip(4) || !reader.U2(count) || count == 0)
        return std::nullopt;
    std::vector<CEntry> pool(count);
    for (std::uint32_t i = 1; i < count; ++i) {
        CEntry& entry = pool[i];
        if (!reader.U1(entry.tag))
            return std::nullopt;
        if (entry.tag == kUtf8) {
            std::uint32_t length = 0;
            if (!reader.U2(length) || !reader.Bytes(length, entry.text))
                return std::nullopt;
        } else if (entry.tag == kClass) {
            if (!reader.U2(entry.index))
                return std::nullopt;
        } else if (size_t size = FixedSize(entry.tag); size == 0 || !reader.Skip(size)) {
            return std::nullopt;
        }
        // Eight-byte constants take two slots.
        if (entry.tag == kLong || entry.tag == kDouble)
            ++i;
    }
    std::uint32_t thisClass = 0;
    if (!reader.Skip(2) || !reader.U2(thisClass) || thisClass == 0 || thisClass >= count ||
        pool[thisClass].tag != kClass)
        return std::nullopt;
    const std::uint32_t name = pool[thisClass].index;
    if (name == 0 || name >= count || pool[name].tag != kUtf8 || pool[name].text.empty())
        return std::nullopt;
    return std::string(pool[name].text);
}

std::string CClassFile::LookupName(std::string_view internalName)
{
    std::string name(internalName.substr(0, internalName.find('$')));
    for (char& c : name) {
        if (c == '/')
            c = '.';
    }
    return name;
}
