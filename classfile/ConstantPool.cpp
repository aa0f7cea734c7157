#include "ConstantPool.h"

#include "ByteReader.h"

bool CConstantPool::Read(CByteReader& reader)
{
    std::uint32_t count = 0;
    if (!reader.U2(count) || count == 0)
        return false;
    m_entries.assign(count, CEntry{});
    for (std::uint32_t i = 1; i < count; ++i) {
        CEntry& entry = m_entries[i];
        if (!reader.U1(entry.tag))
            return false;
        std::uint32_t length = 0, value = 0;
        bool ok = false;
        switch (entry.tag) {
        case kUtf8:
            ok = reader.U2(length) && reader.Bytes(length, entry.text);
            break;
        case kInteger:
        case kFloat:
            ok = reader.U4(value);
            entry.value = value;
            break;
        case kLong:
        case kDouble:
            ok = reader.U8(entry.value);
            break;
        case kClass:
        case kString:
        case kMethodType:
        case kModule:
        case kPackage:
            ok = reader.U2(entry.first);
            break;
        case kFieldref:
        case kMethodref:
        case kInterfaceMethodref:
        case kNameAndType:
        case kDynamic:
        case kInvokeDynamic:
            ok = reader.U2(entry.first) && reader.U2(entry.second);
            break;
        case kMethodHandle:
            ok = reader.U1(entry.first) && reader.U2(entry.second);
            break;
        default:
            break;  // not a class file we can read
        }
        if (!ok)
            return false;
        // Eight-byte constants take two slots; the second stays unusable.
        if (entry.tag == kLong || entry.tag == kDouble)
            ++i;
    }
    return true;
}

const CConstantPool::CEntry* CConstantPool::Get(std::uint32_t index) const
{
    return index == 0 || index >= m_entries.size() || m_entries[index].tag == 0 ? nullptr : &m_entries[index];
}

const CConstantPool::CEntry* CConstantPool::Get(std::uint32_t index, std::uint32_t tag) const
{
    const CEntry* entry = Get(index);
    return entry && entry->tag == tag ? entry : nullptr;
}

bool CConstantPool::Text(std::uint32_t index, std::string_view& out) const
{
    const CEntry* entry = Get(index);
    if (!entry)
        return false;
    if (entry->tag != kUtf8) {
        if (entry->tag != kClass && entry->tag != kString && entry->tag != kMethodType && entry->tag != kModule &&
            entry->tag != kPackage)
            return false;
        entry = Get(entry->first, kUtf8);
        if (!entry)
            return false;
    }
    out = entry->text;
    return true;
}
