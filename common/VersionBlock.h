#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The fixed-info version block that the build puts into every binary, in the ELF section
// kVersionSection, laid out as Windows' VS_FIXEDFILEINFO followed by the translation word.
struct VS_FIXEDFILEINFO
{
    std::uint32_t dwSignature;  // kVersionSignature
    std::uint32_t dwStrucVersion;
    std::uint32_t dwFileVersionMS;
    std::uint32_t dwFileVersionLS;
    std::uint32_t dwProductVersionMS;
    std::uint32_t dwProductVersionLS;
    std::uint32_t dwFileFlagsMask;
    std::uint32_t dwFileFlags;
    std::uint32_t dwFileOS;
    std::uint32_t dwFileType;
    std::uint32_t dwFileSubtype;
    std::uint32_t dwFileDateMS;
    std::uint32_t dwFileDateLS;
};

struct CVersionBlock
{
    VS_FIXEDFILEINFO fixed;
    std::uint32_t translation;  // language in the low word, code page in the high word
};

constexpr std::uint32_t kVersionSignature = 0xFEEF04BD;
#define CORVANE_VERSION_SECTION "corvane_version"

// Reads the block from a binary on disk without loading it. Nothing when the file is not
// an ELF file, has no such section, or the section is too short.
std::optional<CVersionBlock> ReadVersionBlock(const std::string& path);

// The file that holds the code at address (the program or a shared library), as
// GetModuleFileName gives it.
std::string ModulePathOf(const void* address);
// The program's own file, as GetModuleFileName(NULL) gives it; empty when unknown.
std::string ProgramPath();
