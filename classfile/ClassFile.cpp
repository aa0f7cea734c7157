#include "ClassFile.h"

#include <cstdint>

#include "ByteReader.h"
#include "ConstantPool.h"

std::optional<std::string> CClassFile::ReadDeclaredName(std::string_view bytes)
{
    CByteReader reader(bytes);
    CConstantPool pool;
    std::uint32_t magic = 0, thisClass = 0;
    if (!reader.U4(magic) || magic != 0xCAFEBABE || !reader.Skip(4) || !pool.Read(reader) || !reader.Skip(2) ||
        !reader.U2(thisClass) || !pool.Get(thisClass, CConstantPool::kClass))
        return std::nullopt;
    std::string_view name;
    if (!pool.Text(thisClass, name) || name.empty())
        return std::nullopt;
    return std::string(name);
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
