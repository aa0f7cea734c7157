#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

// The API pages of javadoc archives, each unpacked once into a folder of the data directory
// named after the archive's SHA-256. A folder is renamed into place whole, so a half-unpacked
// one is never used and two programs racing end with one copy. An archive that is refused
// leaves only a small record of why, so that it is not tried again on every click.
class CJavadocCache
{
public:
    // Limits on what one archive may unpack to; a zip bomb lies in its declared sizes, so
    // they are counted on the bytes written.
    struct CBounds
    {
        std::uint64_t entries = 100'000;
        std::uint64_t totalBytes = 256ull << 20;
        std::uint64_t entryBytes = 64ull << 20;
    };

    static constexpr std::uint64_t kDefaultMaxBytes = 512ull << 20;

    // maxBytes bounds the unpacked folders together; the least recently used go first.
    CJavadocCache(std::string folder, std::uint64_t maxBytes, CBounds bounds);
    CJavadocCache(std::string folder, std::uint64_t maxBytes) : CJavadocCache(std::move(folder), maxBytes, CBounds{}) {}

    // The program's own cache, in the data directory.
    static std::string DefaultFolder();

    // The folder (ending in '/') of the unpacked pages of this javadoc archive, unpacked on
    // first use; nullopt with a note for the user when it is refused or cannot be read.
    std::optional<std::string> Pages(const std::string& javadocArchive, std::string& note);

    const std::string& Folder() const { return m_folder; }

private:
    std::optional<std::string> Unpack(const std::string& javadocArchive, const std::string& hash, std::string& note);
    void RemoveLeastRecentlyUsed(const std::string& keep);

    std::string m_folder;
    std::uint64_t m_maxBytes;
    CBounds m_bounds;
};
