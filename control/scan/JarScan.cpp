#include "JarScan.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <zip.h>

#include "ClassEntries.h"
#include "SystemCalls.h"
#include "UnitContent.h"
#include "ZipCalls.h"

namespace
{
// libzip converts each entry's DOS time with mktime while it reads the directory. With TZ
// unset, glibc looks at /etc/localtime again on every call, which makes listing several
// times slower. Naming that same file keeps the local time zone and lets glibc see that
// nothing changed. Done once, before the first listing.
void AvoidTimeZoneReloads()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (std::getenv("TZ") == nullptr) {
            ::setenv("TZ", ":/etc/localtime", 0);
            ::tzset();
        }
    });
}

void WriteArchiveError(const CDiagnostics& diagnostics, zip_error_t& error)
{
    diagnostics(std::string(zip_error_strerror(&error)) + "\n");
}

void WriteArchiveError(const CDiagnostics& diagnostics, int code, int systemError)
{
    zip_error_t error;
    errno = systemError;
    zip_error_init_with_code(&error, code);
    WriteArchiveError(diagnostics, error);
    zip_error_fini(&error);
}
}  // namespace

CJarScan::CJarScan() { AvoidTimeZoneReloads(); }

namespace
{
// Opens an archive file; its error text goes to diagnostics when it cannot be read.
zip_t* OpenArchive(const std::string& archivePath, const CDiagnostics& diagnostics)
{
    // Opened here rather than by libzip, so that a FIFO or a device named like an archive
    // is refused instead of blocking the scan.
    int fd = sys::open(archivePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        WriteArchiveError(diagnostics, ZIP_ER_OPEN, errno);
        return nullptr;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        WriteArchiveError(diagnostics, ZIP_ER_NOZIP, 0);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    int code = ZIP_ER_OK;
    errno = 0;
    zip_t* archive = zipsys::fdopen(fd, 0, &code);
    if (!archive) {
        int systemError = errno;
        ::close(fd);
        WriteArchiveError(diagnostics, code, systemError);
    }
    return archive;
}
}  // namespace

bool CJarScan::GetClasses(const std::string& archivePath, std::vector<std::string>& names)
{
    AvoidTimeZoneReloads();
    zip_t* archive = OpenArchive(archivePath, m_diagnostics);
    if (!archive)
        return false;

    CClassEntries found;
    bool ok = true;
    zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* entry = zipsys::getName(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (!entry) {
            WriteArchiveError(m_diagnostics, *zip_get_error(archive));
            ok = false;
            break;
        }
        found.Add(entry);
    }
    zip_discard(archive);
    if (!ok)
        return false;
    found.MoveTo(names);
    return true;
}

bool CJarScan::IsArchiveName(std::string_view name)
{
    if (name.size() < 5 || name[name.size() - 4] != '.')
        return false;
    std::string ending;
    for (char c : name.substr(name.size() - 3))
        ending += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ending == "jar" || ending == "war" || ending == "ear" || ending == "zip";
}

namespace
{
struct CNestedBudget
{
    size_t left = CJarScan::kMaxNestedTotal;
};

// Lists the open archive (content holds it) as listing path at depth, then its nested archives.
void ListOpenArchive(zip_t* archive, std::shared_ptr<CUnitContent> content, const std::string& path, int depth,
                     CNestedBudget& budget, std::vector<CJarScan::CListing>& listings)
{
    CJarScan::CListing listing{path, depth, {}, std::move(content)};
    CClassEntries classes;
    std::vector<std::pair<zip_uint64_t, std::string>> nested;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* entry = zipsys::getName(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (!entry)
            continue;
        classes.Add(entry);
        if (depth < CJarScan::kMaxNestingDepth && CJarScan::IsArchiveName(entry))
            nested.emplace_back(static_cast<zip_uint64_t>(i), entry);
    }
    classes.MoveTo(listing.names);
    listings.push_back(std::move(listing));
    for (const auto& [index, name] : nested) {
        std::optional<std::string> read =
            CUnitContent::ReadEntry(archive, index, std::min(CJarScan::kMaxNestedSize, budget.left));
        if (!read)
            continue;
        budget.left -= read->size();
        // The bytes stay with the inner archive's unit, which reads from them on demand.
        auto data = std::make_shared<const std::string>(std::move(*read));
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_buffer_create(data->data(), data->size(), 0, &error);
        zip_t* inner = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
        if (inner) {
            const std::string innerPath = path + "!/" + name;
            ListOpenArchive(inner, std::make_shared<CUnitContent>(inner, innerPath, data), innerPath, depth + 1, budget,
                            listings);
        } else if (source) {
            zip_source_free(source);
        }
        zip_error_fini(&error);
    }
}
}  // namespace

bool CJarScan::ListNested(const std::string& archivePath, std::vector<CListing>& listings)
{
    AvoidTimeZoneReloads();
    zip_t* archive = OpenArchive(archivePath, m_diagnostics);
    if (!archive)
        return false;
    CNestedBudget budget;
    ListOpenArchive(archive, std::make_shared<CUnitContent>(archive, archivePath, nullptr), archivePath, 0, budget,
                    listings);
    return true;
}
