#include "JavadocCache.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <zip.h>

#include "FileDigest.h"
#include "FileUtil.h"
#include "Settings.h"
#include "SystemCalls.h"
#include "ZipCalls.h"

namespace fs = std::filesystem;

namespace
{
constexpr std::string_view kRefusedEnding = ".refused";
constexpr std::string_view kUnpackPrefix = ".unpack-";
constexpr std::string_view kRemovePrefix = ".remove-";
constexpr size_t kMaxNoteName = 200;
constexpr size_t kMaxRecord = 4096;
// A work folder this old belongs to a program that died while unpacking or removing.
constexpr auto kAbandoned = std::chrono::hours(1);

// Entry names are the archive author's text: one printable line of bounded length.
std::string Printable(std::string_view text)
{
    std::string out;
    for (char c : text.substr(0, kMaxNoteName))
        out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    if (text.size() > kMaxNoteName)
        out += "...";
    return out;
}

std::string Named(const std::string& what, std::string_view name) { return what + " (" + Printable(name) + ")"; }

// Refused: the archive itself is at fault, and stays refused while its bytes are the same.
// Failed: this machine could not do it now (disk full, memory), so it is tried again later.
struct COutcome
{
    enum EKind { Ok, Refused, Failed } kind = Ok;
    std::string reason;
};
COutcome Refuse(std::string reason) { return {COutcome::Refused, std::move(reason)}; }
COutcome Fail(std::string reason) { return {COutcome::Failed, std::move(reason)}; }

bool IsHash(std::string_view name)
{
    return name.size() == 64 &&
           std::all_of(name.begin(), name.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Why the entry cannot be unpacked inside its folder, empty when it can; relative is the name
// without empty and "." segments. libzip reads a NUL in a stored name as a space, so a
// name cannot be cut short; the check below is for a libzip that does not.
std::string NameProblem(std::string_view name, std::string& relative)
{
    relative.clear();
    if (name.find('\\') != std::string_view::npos || name.find('\0') != std::string_view::npos)
        return Named("an entry has a name with a backslash or a NUL", name);
    if (name.starts_with('/'))
        return Named("an entry points outside its folder", name);
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string_view::npos)
            end = name.size();
        const std::string_view segment = name.substr(start, end - start);
        if (segment == "..")
            return Named("an entry points outside its folder", name);
        if (segment.size() > NAME_MAX)
            return Named("an entry has too long a name", name);
        if (!segment.empty() && segment != ".") {
            if (!relative.empty())
                relative += '/';
            relative += segment;
        }
        start = end + 1;
    }
    return {};
}

// The unix file type an entry was stored with; 0 when the archive does not say.
unsigned StoredFileType(zip_t* archive, zip_uint64_t index)
{
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0 || system != ZIP_OPSYS_UNIX)
        return 0;
    return (attributes >> 16) & S_IFMT;
}

std::string ZipErrorText(int code, int systemError)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    error.sys_err = systemError;
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

using CArchive = std::unique_ptr<zip_t, void (*)(zip_t*)>;

// Opens only a plain file, so that a FIFO named like an archive cannot block the program.
COutcome OpenArchive(const std::string& path, CArchive& archive)
{
    const int fd = sys::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Fail(std::strerror(errno));
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Refuse("it is not a file");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    int code = ZIP_ER_OK;
    errno = 0;
    zip_t* opened = zipsys::fdopen(fd, ZIP_CHECKCONS, &code);
    if (!opened) {
        const int systemError = errno;
        ::close(fd);
        const std::string text = ZipErrorText(code, systemError);
        if (code == ZIP_ER_MEMORY || code == ZIP_ER_READ || code == ZIP_ER_OPEN)
            return Fail(text);
        return Refuse("it is not a whole archive (" + text + ")");
    }
    archive.reset(opened);
    return {};
}

// Makes the folders of a relative path inside folder; a file standing where a folder goes
// means two entries claim one name.
COutcome MakeFolders(const std::string& folder, const std::string& relative, std::string_view name)
{
    std::error_code error;
    fs::create_directories(folder + relative, error);
    if (!error)
        return {};
    if (error == std::errc::file_exists || error == std::errc::not_a_directory)
        return Refuse(Named("two entries have one name", name));
    return Fail(error.message());
}

class CUnpacker
{
public:
    CUnpacker(zip_t* archive, std::string folder, const CJavadocCache::CBounds& bounds)
        : m_archive(archive), m_folder(std::move(folder)), m_bounds(bounds), m_buffer(64 * 1024)
    {
    }

    COutcome Run()
    {
        const zip_int64_t count = zip_get_num_entries(m_archive, 0);
        if (count < 0 || static_cast<std::uint64_t>(count) > m_bounds.entries)
            return Refuse("it has more than " + std::to_string(m_bounds.entries) + " entries");
        for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
            COutcome outcome = Entry(i);
            if (outcome.kind != COutcome::Ok)
                return outcome;
        }
        return {};
    }

private:
    COutcome Entry(zip_uint64_t index)
    {
        zip_stat_t st;
        if (zip_stat_index(m_archive, index, ZIP_FL_ENC_RAW, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
            return Refuse("an entry cannot be read");
        const std::string_view name(st.name);
        std::string relative;
        if (std::string problem = NameProblem(name, relative); !problem.empty())
            return Refuse(problem);
        const unsigned type = StoredFileType(m_archive, index);
        if (type == S_IFLNK)
            return Refuse(Named("an entry is a symbolic link", name));
        if (type != 0 && type != S_IFREG && type != S_IFDIR)
            return Refuse(Named("an entry is not a file", name));
        if (relative.empty())
            return {};  // the folder itself
        if (name.ends_with('/') || type == S_IFDIR)
            return MakeFolders(m_folder, relative, name);
        if ((st.valid & ZIP_STAT_SIZE) && st.size > m_bounds.entryBytes)
            return EntryTooLarge(name);
        const size_t slash = relative.rfind('/');
        if (slash != std::string::npos) {
            if (COutcome outcome = MakeFolders(m_folder, relative.substr(0, slash), name); outcome.kind != COutcome::Ok)
                return outcome;
        }
        return Copy(index, name, m_folder + relative);
    }

    COutcome EntryTooLarge(std::string_view name) const
    {
        return Refuse(Named("an entry unpacks to more than " + std::to_string(m_bounds.entryBytes) + " bytes", name));
    }

    COutcome Copy(zip_uint64_t index, std::string_view name, const std::string& path)
    {
        const std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(zip_fopen_index(m_archive, index, 0), zip_fclose);
        if (!file)
            return Refuse(Named("an entry cannot be read", name));
        const int fd = sys::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST || errno == ENOTDIR || errno == EISDIR)
                return Refuse(Named("two entries have one name", name));
            return Fail(std::strerror(errno));
        }
        COutcome outcome;
        std::uint64_t written = 0;
        for (;;) {
            // The sizes counted are those read out, not those the archive declares.
            const zip_int64_t n = zip_fread(file.get(), m_buffer.data(), m_buffer.size());
            if (n < 0) {
                outcome = Refuse(Named("an entry is damaged", name));
                break;
            }
            if (n == 0)
                break;
            written += static_cast<std::uint64_t>(n);
            m_total += static_cast<std::uint64_t>(n);
            if (written > m_bounds.entryBytes) {
                outcome = EntryTooLarge(name);
                break;
            }
            if (m_total > m_bounds.totalBytes) {
                outcome = Refuse("it unpacks to more than " + std::to_string(m_bounds.totalBytes) + " bytes");
                break;
            }
            if (!WriteAll(fd, std::string_view(m_buffer.data(), static_cast<size_t>(n)))) {
                outcome = Fail(std::strerror(errno));
                break;
            }
        }
        if (::close(fd) != 0 && outcome.kind == COutcome::Ok)
            outcome = Fail(std::strerror(errno));
        return outcome;
    }

    zip_t* m_archive;
    std::string m_folder;
    CJavadocCache::CBounds m_bounds;
    std::vector<char> m_buffer;
    std::uint64_t m_total = 0;
};

// Marks a folder as just used; its modification time orders the cache.
void Touch(const std::string& folder) { ::utimensat(AT_FDCWD, folder.c_str(), nullptr, 0); }

std::uint64_t BytesIn(const fs::path& folder)
{
    std::uint64_t bytes = 0;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        std::error_code sizeError;
        if (it->is_regular_file(sizeError)) {
            const std::uintmax_t size = it->file_size(sizeError);
            if (!sizeError)
                bytes += size;
        }
    }
    return bytes;
}

// Moves the folder aside before removing it, so that no one finds it half removed.
void RemoveFolder(const std::string& cache, const std::string& name)
{
    std::string aside = cache + std::string(kRemovePrefix) + name + "-XXXXXX";
    if (!::mkdtemp(aside.data()))
        return;
    std::error_code error;
    if (sys::rename((cache + name).c_str(), (aside + "/" + name).c_str()) != 0) {
        fs::remove(aside, error);
        return;
    }
    fs::remove_all(aside, error);
}

std::string Beginning(const std::string& archive) { return "the API pages in " + Printable(archive); }
}  // namespace

CJavadocCache::CJavadocCache(std::string folder, std::uint64_t maxBytes, CBounds bounds)
    : m_folder(std::move(folder)), m_maxBytes(maxBytes), m_bounds(bounds)
{
    if (m_folder.empty() || m_folder.back() != '/')
        m_folder += '/';
}

std::string CJavadocCache::DefaultFolder() { return GetDataDirectory() + "Cache/javadoc/"; }

std::optional<std::string> CJavadocCache::Pages(const std::string& javadocArchive, std::string& note)
{
    std::error_code error;
    // Only a plain file: reading a FIFO named like an archive would never end.
    const std::string hash = fs::is_regular_file(javadocArchive, error) ? Sha256Hex(javadocArchive) : "";
    if (hash.empty()) {
        note = Beginning(javadocArchive) + " could not be read";
        return std::nullopt;
    }
    const std::string pages = m_folder + hash + "/";
    if (fs::is_directory(fs::symlink_status(m_folder + hash, error))) {
        Touch(pages);
        return pages;
    }
    std::string reason;
    if (ReadWholeFile(m_folder + hash + std::string(kRefusedEnding), reason, kMaxRecord) == CReadResult::Ok) {
        note = Beginning(javadocArchive) + " were not opened: " + reason;
        return std::nullopt;
    }
    return Unpack(javadocArchive, hash, note);
}

std::optional<std::string> CJavadocCache::Unpack(const std::string& javadocArchive, const std::string& hash,
                                                 std::string& note)
{
    std::error_code error;
    fs::create_directories(m_folder, error);
    std::string work = m_folder + std::string(kUnpackPrefix) + hash + "-XXXXXX";
    if (error || !::mkdtemp(work.data())) {
        note = Beginning(javadocArchive) + " could not be unpacked: " + (error ? error.message() : std::strerror(errno));
        return std::nullopt;
    }
    CArchive archive(nullptr, zip_discard);
    COutcome outcome = OpenArchive(javadocArchive, archive);
    if (outcome.kind == COutcome::Ok)
        outcome = CUnpacker(archive.get(), work + "/", m_bounds).Run();
    archive.reset();
    // Kept under the bytes hashed before: neither pages nor a refusal of a file replaced
    // meanwhile may be filed under them.
    if (outcome.kind != COutcome::Failed && Sha256Hex(javadocArchive) != hash)
        outcome = Fail("it changed while it was read");

    const std::string pages = m_folder + hash;
    if (outcome.kind == COutcome::Ok && sys::rename(work.c_str(), pages.c_str()) != 0) {
        const int renameError = errno;
        // Another program that unpacked the same archive came first: its copy is as good.
        if (!fs::is_directory(fs::symlink_status(pages, error)))
            outcome = Fail(std::strerror(renameError));
    }
    fs::remove_all(work, error);
    switch (outcome.kind) {
    case COutcome::Ok:
        Touch(pages);
        RemoveLeastRecentlyUsed(hash);
        return pages + "/";
    case COutcome::Refused:
        WriteFileAtomically(m_folder + hash + std::string(kRefusedEnding), outcome.reason, 0644);
        note = Beginning(javadocArchive) + " were not opened: " + outcome.reason;
        break;
    case COutcome::Failed:
        note = Beginning(javadocArchive) + " could not be unpacked: " + outcome.reason;
        break;
    }
    return std::nullopt;
}

void CJavadocCache::RemoveLeastRecentlyUsed(const std::string& keep)
{
    struct CFolder
    {
        fs::file_time_type used;
        std::string name;
        std::uint64_t bytes;
    };
    std::vector<CFolder> folders;
    std::uint64_t total = 0;
    const auto abandoned = fs::file_time_type::clock::now() - kAbandoned;
    std::error_code error;
    for (auto it = fs::directory_iterator(m_folder, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        std::error_code entryError;
        if (!it->is_directory(entryError) || it->is_symlink(entryError))
            continue;
        const std::string name = it->path().filename().string();
        const fs::file_time_type used = it->last_write_time(entryError);
        if (entryError)
            continue;
        if ((name.starts_with(kUnpackPrefix) || name.starts_with(kRemovePrefix)) && used < abandoned) {
            fs::remove_all(it->path(), entryError);
        } else if (IsHash(name)) {
            folders.push_back({used, name, BytesIn(it->path())});
            total += folders.back().bytes;
        }
    }
    std::sort(folders.begin(), folders.end(),
              [](const CFolder& a, const CFolder& b) { return std::tie(a.used, a.name) < std::tie(b.used, b.name); });
    for (const CFolder& folder : folders) {
        if (total <= m_maxBytes)
            break;
        if (folder.name == keep)
            continue;
        RemoveFolder(m_folder, folder.name);
        total -= folder.bytes;
    }
}
