#include "JarLister.h"

#include <zip.h>

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
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* raw = zip_get_name(zip, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (!raw)
            continue;
        std::string name = raw;
        if (name.size() <= 6 || name.compare(name.size() - 6, 6, ".class") != 0 || name.rfind("META-INF/", 0) == 0)
            continue;
        name.resize(name.size() - 6);
        if (name.ends_with("module-info") || name.ends_with("package-info"))
            continue;
        for (char& c : name)
            if (c == '/' || c == '\\')
                c = '.';
        listing.classes.push_back(name);
    }
    zip_discard(zip);
    listing.ok = true;
    return listing;
}

std::string CJarLister::TopLevelName(const std::string& className)
{
    return className.substr(0, className.find('$'));
}
