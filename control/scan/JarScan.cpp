#include "JarScan.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <zip.h>

#include "SystemCalls.h"
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

void WriteArchiveError(zip_error_t& error)
{
    std::printf("%s\n", zip_error_strerror(&error));
    std::fflush(stdout);
}

void WriteArchiveError(int code, int systemError)
{
    zip_error_t error;
    errno = systemError;
    zip_error_init_with_code(&error, code);
    WriteArchiveError(error);
    zip_error_fini(&error);
}

// Walks the path from its start: separators become '.', and the name ends at the first
// '.' or '$' of its own (so inner classes fold into their outer class).
void AppendClassName(std::string_view entry, std::vector<std::string>& names)
{
    if (entry.size() > CJarScan::kMaxEntryLength || entry.find(".class") == std::string_view::npos)
        return;
    std::string name;
    name.reserve(entry.size());
    for (char c : entry) {
        if (c == '/' || c == '\\')
            name += '.';
        else if (c == '.' || c == '$')
            break;
        else
            name += c;
    }
    names.push_back(std::move(name));
}
}  // namespace

CJarScan::CJarScan() { AvoidTimeZoneReloads(); }

bool CJarScan::GetClasses(const std::string& archivePath, std::vector<std::string>& names)
{
    AvoidTimeZoneReloads();

    // Opened here rather than by libzip, so that a FIFO or a device named like an archive
    // is refused instead of blocking the scan.
    int fd = sys::open(archivePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        WriteArchiveError(ZIP_ER_OPEN, errno);
        return false;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        WriteArchiveError(ZIP_ER_NOZIP, 0);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    int code = ZIP_ER_OK;
    errno = 0;
    zip_t* archive = zipsys::fdopen(fd, 0, &code);
    if (!archive) {
        int systemError = errno;
        ::close(fd);
        WriteArchiveError(code, systemError);
        return false;
    }

    std::vector<std::string> found;
    bool ok = true;
    zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* entry = zipsys::getName(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (!entry) {
            WriteArchiveError(*zip_get_error(archive));
            ok = false;
            break;
        }
        AppendClassName(entry, found);
    }
    zip_discard(archive);
    if (!ok)
        return false;

    names.insert(names.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
    return true;
}
