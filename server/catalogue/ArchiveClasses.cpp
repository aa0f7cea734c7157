#include "ArchiveClasses.h"

#include <filesystem>
#include <memory>
#include <unordered_set>

#include <zip.h>

#include "ClassEntries.h"

namespace
{
// Whether the entry is a class file a fingerprint is made of: a class of the archive's base
// or of a multi-release version, not a module or package descriptor.
bool IsClassFile(std::string_view entry)
{
    if (!entry.ends_with(".class") || (entry.starts_with("META-INF/") && !entry.starts_with("META-INF/versions/")))
        return false;
    const size_t slash = entry.rfind('/');
    const std::string_view simple = entry.substr(slash == std::string_view::npos ? 0 : slash + 1);
    return CClassEntries::IsClassName(simple.substr(0, simple.size() - 6));
}

bool ReadEntry(zip_t* archive, zip_uint64_t index, zip_uint64_t size, std::string& bytes)
{
    const std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(zip_fopen_index(archive, index, 0), zip_fclose);
    if (!file)
        return false;
    bytes.resize(static_cast<size_t>(size));
    zip_uint64_t done = 0;
    while (done < size) {
        const zip_int64_t n = zip_fread(file.get(), bytes.data() + done, size - done);
        if (n <= 0)
            return false;
        done += static_cast<zip_uint64_t>(n);
    }
    char extra = 0;
    return zip_fread(file.get(), &extra, 1) == 0;  // also checks the CRC at the end
}
}  // namespace

CArchiveClasses::CListing CArchiveClasses::Read(const std::string& path, const CClassSink& sink)
{
    CListing listing;
    // Only plain files: a pipe or a device under an archive's name would never end.
    std::error_code notFile;
    if (!std::filesystem::is_regular_file(path, notFile)) {
        listing.error = "not a file";
        return listing;
    }
    int error = 0;
    const std::unique_ptr<zip_t, void (*)(zip_t*)> archive(zip_open(path.c_str(), ZIP_RDONLY, &error), zip_discard);
    if (!archive) {
        zip_error_t detail;
        zip_error_init_with_code(&detail, error);
        listing.error = zip_error_strerror(&detail);
        zip_error_fini(&detail);
        return listing;
    }
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count < 0 || static_cast<zip_uint64_t>(count) > kMaxEntries) {
        listing.error = "too many entries";
        return listing;
    }
    CClassEntries entries;
    std::string bytes;
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
        zip_stat_t st;
        if (zip_stat_index(archive.get(), i, ZIP_FL_ENC_RAW, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
            listing.error = "unreadable entry";
            return listing;
        }
        const std::string_view name(st.name);
        entries.Add(name);
        if (!sink || !IsClassFile(name) || name.size() > CClassEntries::kMaxEntryLength)
            continue;
        if (!(st.valid & ZIP_STAT_SIZE) || st.size > kMaxClassBytes || !ReadEntry(archive.get(), i, st.size, bytes)) {
            listing.error = "unreadable class " + std::string(name);
            return listing;
        }
        sink(path, std::string(name), bytes);
    }
    entries.MoveTo(listing.classes);
    // A class in several entries (inner classes, versioned copies) is listed once.
    std::unordered_set<std::string> seen;
    std::erase_if(listing.classes, [&seen](const std::string& name) { return !seen.insert(name).second; });
    listing.ok = true;
    return listing;
}
