#include "FileUtil.h"

#include <cerrno>
#include <cstdio>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "SystemCalls.h"

std::string DirectoryOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void SyncDirectoryOf(const std::string& path)
{
    int dir = sys::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        sys::fsync(dir);
        ::close(dir);
    }
}

bool CommitStagedFile(const std::string& path)
{
    // The staged file was written whole and synced: one rename puts it in place.
    if (!MoveFileReplace(path + "_new", path))
        return false;
    SyncDirectoryOf(path);
    return true;
}

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        ssize_t n = sys::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

CReadResult ReadWholeFile(const std::string& path, std::string& out, size_t maxSize)
{
    out.clear();
    int fd = sys::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? CReadResult::Missing : CReadResult::Failed;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<size_t>(st.st_size) > maxSize) {
        ::close(fd);
        return CReadResult::Failed;
    }
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        ssize_t n = sys::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || out.size() + static_cast<size_t>(n) > maxSize) {
            ::close(fd);
            out.clear();
            return CReadResult::Failed;
        }
        if (n == 0)
            break;
        out.append(buffer.data(), static_cast<size_t>(n));
    }
    ::close(fd);
    return CReadResult::Ok;
}

bool WriteFileAtomically(const std::string& path, const std::string& content, unsigned mode)
{
    std::string temp = path + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, static_cast<mode_t>(mode)) == 0 && WriteAll(fd, content) && sys::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = sys::rename(name.data(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(name.data());
        return false;
    }
    SyncDirectoryOf(path);
    return true;
}

bool MoveFileReplace(const std::string& from, const std::string& to)
{
    return sys::rename(from.c_str(), to.c_str()) == 0;
}

bool DeleteFileIfExists(const std::string& path)
{
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::string FirstLine(std::string_view text)
{
    std::string_view line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return std::string(line);
}
