#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Takes each class file of an archive: the archive's path, the entry's path and its bytes.
using CClassSink = std::function<void(const std::string& archive, const std::string& entry, std::string_view bytes)>;

// The metadata an archive may carry about itself: the first META-INF/maven/.../pom.properties,
// the pom.xml beside it, and the manifest; each empty when absent or unreadable.
struct CArchiveMetadata
{
    std::string pomProperties;
    std::string pomXml;
    std::string manifest;
};

// Lists the classes of one archive file by the rule the client's scan uses, and hands every
// class file's bytes to a sink (for the fingerprints).
class CArchiveClasses
{
public:
    struct CListing
    {
        bool ok = false;
        std::string error;
        std::vector<std::string> classes;  // dotted top-level names, each once
    };

    // Without a sink no entry is read, only the central directory. A sink hears of an
    // archive's classes before the archive is known to be whole: a listing that is not ok
    // tells it to drop them.
    static CListing Read(const std::string& path, const CClassSink& sink);
    // The same, also reading the archive's metadata into metadata.
    static CListing Read(const std::string& path, const CClassSink& sink, CArchiveMetadata& metadata);

    static constexpr size_t kMaxEntries = 200000;
    static constexpr size_t kMaxClassBytes = 16 * 1024 * 1024;
    static constexpr size_t kMaxMetadataBytes = 1024 * 1024;

private:
    static CListing Read(const std::string& path, const CClassSink& sink, CArchiveMetadata* metadata);
};
