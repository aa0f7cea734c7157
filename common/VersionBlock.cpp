#include "VersionBlock.h"

#include <bit>
#include <cstring>
#include <fstream>
#include <vector>

#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <unistd.h>

namespace
{
template <typename Ehdr, typename Shdr>
std::optional<CVersionBlock> ReadSection(std::ifstream& in)
{
    Ehdr header{};
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(&header), sizeof header))
        return std::nullopt;
    if (header.e_shentsize != sizeof(Shdr) || header.e_shnum == 0 || header.e_shstrndx >= header.e_shnum)
        return std::nullopt;

    std::vector<Shdr> sections(header.e_shnum);
    in.seekg(static_cast<std::streamoff>(header.e_shoff));
    if (!in.read(reinterpret_cast<char*>(sections.data()),
                 static_cast<std::streamsize>(sections.size() * sizeof(Shdr))))
        return std::nullopt;

    const Shdr& names = sections[header.e_shstrndx];
    if (names.sh_size > 16 * 1024 * 1024)
        return std::nullopt;
    std::vector<char> nameTable(names.sh_size + 1, '\0');
    in.seekg(static_cast<std::streamoff>(names.sh_offset));
    if (!in.read(nameTable.data(), static_cast<std::streamsize>(names.sh_size)))
        return std::nullopt;

    for (const Shdr& section : sections) {
        if (section.sh_name >= names.sh_size)
            continue;
        if (std::strcmp(&nameTable[section.sh_name], CORVANE_VERSION_SECTION) != 0)
            continue;
        if (section.sh_type == SHT_NOBITS || section.sh_size < sizeof(CVersionBlock))
            return std::nullopt;
        CVersionBlock block{};
        in.seekg(static_cast<std::streamoff>(section.sh_offset));
        if (!in.read(reinterpret_cast<char*>(&block), sizeof block))
            return std::nullopt;
        return block;
    }
    return std::nullopt;
}
}  // namespace

std::optional<CVersionBlock> ReadVersionBlock(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char ident[EI_NIDENT] = {};
    if (!in.read(reinterpret_cast<char*>(ident), sizeof ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0)
        return std::nullopt;
    // Only binaries of this machine's byte order are ours.
    if (ident[EI_DATA] != (std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB))
        return std::nullopt;
    if (ident[EI_CLASS] == ELFCLASS64)
        return ReadSection<Elf64_Ehdr, Elf64_Shdr>(in);
    if (ident[EI_CLASS] == ELFCLASS32)
        return ReadSection<Elf32_Ehdr, Elf32_Shdr>(in);
    return std::nullopt;
}

std::string ModulePathOf(const void* address)
{
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0)
        return {};
    // The main program's link map has no name; /proc knows its file.
    if (map && map->l_name && *map->l_name)
        return map->l_name;
    return ProgramPath();
}

std::string ProgramPath()
{
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}
