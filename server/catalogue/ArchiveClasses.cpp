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
// A metadata entry's text; empty when it is missing, too large or unreadable.
std::string MetadataText(zip_t* archive, zip_int64_t index)
{
    zip_stat_t st;
    std::string bytes;
    if (index < 0 || zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
        !(st.valid & ZIP_STAT_SIZE) || st.size > CArchiveClasses::kMaxMetadataBytes ||
        !ReadEntry(archive, static_cast<zip_uint64_t>(index), st.size, bytes))
        return {};
    return bytes;
}
}  // namespace

CArchiveClasses::CListing CArchiveClasses::Read(const std::string& path, const CClassSink& sink)
{
    return Read(path, sink, nullptr);
}

CArchiveClasses::CListing CArchiveClasses::Read(const std::string& path, const CClassSink& sink,
                                                CArchiveMetadata& metadata)
{
    return Read(path, sink, &metadata);
}

CArchiveClasses::CListing CArchiveClasses::Read(const std::string& path, const CClassSink& sink,
                                                CArchiveMetadata* metadata)
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
    zip_int64_t pomProperties = -1;
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
        zip_stat_t st;
        if (zip_stat_index(archive.get(), i, ZIP_FL_ENC_RAW, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
            listing.error = "unreadable entry";
            return listing;
        }
        const std::string_view name(st.name);
        entries.Add(name);
        if (pomProperties < 0 && name.starts_with("META-INF/maven/") && name.ends_with("/pom.properties"))
            pomProperties = static_cast<zip_int64_t>(i);
        if (!sink || !IsClassFile(name) || name.size() > CClassEntries::kMaxEntryLength)
            continue;
        if (!(st.valid & ZIP_STAT_SIZE) || st.size > kMaxClassBytes || !ReadEntry(archive.get(), i, st.size, bytes)) {
            listing.error = "unreadable class " + std::string(name);
            return listing;
        }
        sink(path, std::string(name), bytes);
    }
    if (metadata) {
        metadata->manifest = MetadataText(archive.get(), zip_name_locate(archive.get(), "META-INF/MANIFEST.MF", 0));
        if (pomProperties >= 0) {
            metadata->pomProperties = MetadataText(archive.get(), pomProperties);
            if (const char* name = zip_get_name(archive.get(), static_cast<zip_uint64_t>(pomProperties), ZIP_FL_ENC_RAW)) {
                std::string pom(name);
                pom.replace(pom.size() - std::string_view("pom.properties").size(), std::string::npos, "pom.xml");
                metadata->pomXml = MetadataText(archive.get(), zip_name_locate(archive.get(), pom.c_str(), ZIP_FL_ENC_RAW));
            }
        }
    }
    entries.MoveTo(listing.classes);
    // A class in several entries (inner classes, versioned copies) is listed once.
    std::unordered_set<std::string> seen;
    std::erase_if(listing.classes, [&seen](const std::string& name) { return !seen.insert(name).second; });
    listing.ok = true;
    return listing;
}
