#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Takes each class file of an archive: the archive's path, the entry's path and its bytes.
using CClassSink = std::function<void(const std::string& archive, const std::string& entry, std::string_view bytes)>;

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

    static constexpr size_t kMaxEntries = 200000;
    static constexpr size_t kMaxClassBytes = 16 * 1024 * 1024;
};
