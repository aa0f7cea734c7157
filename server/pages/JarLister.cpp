#include "JarLister.h"

#include <set>
#include <string_view>

#include <zip.h>

#include "ClassEntries.h"

namespace
{
// com/acme/Parser$Node.class gives com.acme.Parser$Node; empty for what is not a class
// (other files, module and package descriptors).
std::string ClassNameOf(std::string_view entry)
{
    if (entry.size() <= 6 || !entry.ends_with(".class"))
        return {};
    std::string name(entry.substr(0, entry.size() - 6));
    for (char& c : name)
        if (c == '/' || c == '\\')
            c = '.';
    return CClassEntries::IsClassName(name) ? name : std::string();
}
}  // namespace

CJarLister::CListing CJarLister::List(std::string_view archive)
{
    CListing listing;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
    zip_t* zip = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (!zip) {
        listing.error = std::string("not a JAR or ZIP archive: ") + zip_error_strerror(&error);
        if (source)
            zip_source_free(source);
        zip_error_fini(&error);
        return listing;
    }
    zip_error_fini(&error);
    zip_int64_t count = zip_get_num_entries(zip, 0);
    if (count < 0 || static_cast<size_t>(count) > kMaxEntries) {
        listing.error = "the archive has more entries than this page lists (" + std::to_string(kMaxEntries) + ")";
        zip_discard(zip);
        return listing;
    }
    listing.entries = static_cast<size_t>(count);
    std::vector<std::string> versioned;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* raw = zip_get_name(zip, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (!raw)
            continue;
        std::string_view entry = raw;
        // A multi-release archive's META-INF/versions/N/ holds classes too; nothing else
        // below META-INF/ is one.
        const std::string_view held = CClassEntries::VersionedPath(entry);
        const bool isVersioned = !held.empty();
        if (isVersioned)
            entry = held;
        if (!isVersioned && entry.starts_with("META-INF/"))
            continue;
        std::string name = ClassNameOf(entry);
        if (!name.empty())
            (isVersioned ? versioned : listing.classes).push_back(std::move(name));
    }
    // A versioned copy of a class at the base is the same class; one held only in the
    // versioned part is listed once.
    std::set<std::string> seen(listing.classes.begin(), listing.classes.end());
    for (std::string& name : versioned)
        if (seen.insert(name).second)
            listing.classes.push_back(std::move(name));
    zip_discard(zip);
    listing.ok = true;
    return listing;
}

std::string CJarLister::TopLevelName(const std::string& className)
{
    return className.substr(0, className.find('$'));
}
