#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

class CByteReader;

// The constant pool of a class file, read with bounds; entries point into the class bytes,
// which must outlive the pool.
class CConstantPool
{
public:
    enum CTag : std::uint32_t
    {
        kUtf8 = 1,
        kInteger = 3,
        kFloat = 4,
        kLong = 5,
        kDouble = 6,
        kClass = 7,
        kString = 8,
        kFieldref = 9,
        kMethodref = 10,
        kInterfaceMethodref = 11,
        kNameAndType = 12,
        kMethodHandle = 15,
        kMethodType = 16,
        kDynamic = 17,
        kInvokeDynamic = 18,
        kModule = 19,
        kPackage = 20,
    };

    struct CEntry
    {
        std::uint32_t tag = 0;  // 0: the unused slot 0 and the slot after a Long or Double
        // Class, String, MethodType, Module, Package: the name's entry. Refs: the class, then
        // the NameAndType. NameAndType: name, descriptor. MethodHandle: the kind, the ref.
        // Dynamic, InvokeDynamic: the bootstrap method's number, the NameAndType.
        std::uint32_t first = 0;
        std::uint32_t second = 0;
        std::uint64_t value = 0;  // Integer and Float: 4 bytes; Long and Double: 8
        std::string_view text;    // Utf8, as stored (modified UTF-8)
    };

    // Reads the count and the entries; false at an overrun or a tag it does not know.
    bool Read(CByteReader& reader);

    // The entry at index when it has the tag; nullptr otherwise (also out of range).
    const CEntry* Get(std::uint32_t index, std::uint32_t tag) const;
    // Any entry in range, whatever its tag; nullptr for slot 0 and out of range.
    const CEntry* Get(std::uint32_t index) const;
    // The text of a Utf8 entry, or of the Utf8 entry that a Class, String, MethodType, Module
    // or Package entry names; false when index is not such an entry.
    bool Text(std::uint32_t index, std::string_view& out) const;

private:
    std::vector<CEntry> m_entries;
};
