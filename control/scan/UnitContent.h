#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ArchiveMetadata.h"
#include "FileDigest.h"

struct zip;

// What a scan unit holds beyond its class names, read only when a matcher asks: the bytes of
// its class files, the archive's own metadata and the digests of its bytes. An archive stays
// open while its unit lives, so that asking costs no second reading of its directory.
class CUnitContent
{
public:
    // An archive open for reading, taken over. data: the bytes of an archive inside another,
    // which it is read from; null for an archive file at path.
    CUnitContent(zip* archive, std::string path, std::shared_ptr<const std::string> data);
    // The class files below a tree's root folder.
    explicit CUnitContent(std::string root);
    ~CUnitContent();
    CUnitContent(const CUnitContent&) = delete;
    CUnitContent& operator=(const CUnitContent&) = delete;

    // One class file: the name it is looked up by, and where it stands.
    struct CClassEntry
    {
        std::string name;
        std::uint64_t index = 0;  // in the archive
        std::string path;         // in a tree
    };
    // The class files of the named classes (inner classes and multi-release copies too), in
    // archive or tree order, at most kMaxClassFiles.
    std::vector<CClassEntry> FindClassFiles(const std::set<std::string>& names);
    // A class file's bytes; nothing when it is larger than a class file may be or unreadable.
    std::optional<std::string> ReadClassFile(const CClassEntry& entry);

    bool IsArchive() const { return m_archive != nullptr; }
    // Read once: pom.properties (the one the file name names, or the only one), MANIFEST.MF
    // and, for an archive, the file name.
    const CArchiveMetadata& GetMetadata();
    // Of the archive's bytes; empty for a tree or an archive that cannot be read.
    CFileDigests GetDigests() const;

    // Reads one archive entry; nothing when it is larger than limit or cannot be read whole.
    static std::optional<std::string> ReadEntry(zip* archive, std::uint64_t index, size_t limit);

    static constexpr size_t kMaxClassFiles = 200000;

private:
    void ReadArchiveMetadata();
    void ReadTreeMetadata();

    zip* m_archive = nullptr;
    std::string m_path;
    std::shared_ptr<const std::string> m_data;
    std::optional<CArchiveMetadata> m_metadata;
};
