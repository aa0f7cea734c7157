#include "RegistryFile.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "FileUtil.h"
#include "SystemCalls.h"

namespace
{
constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr size_t kMaxRegistryFileSize = 16 * 1024 * 1024;

char Fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    return true;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Reads a quoted string starting at text[pos] == '"'; the string may run over line ends.
// Answers the position after the closing quote, or npos when it never closes.
size_t ReadQuoted(std::string_view text, size_t pos, std::string& out)
{
    out.clear();
    for (size_t i = pos + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
            out += text[++i];
        } else if (c == '"') {
            return i + 1;
        } else {
            out += c;
        }
    }
    return std::string_view::npos;
}

std::string Quote(std::string_view s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// Key paths are compared without regard to case and to a trailing backslash.
std::string_view KeyName(std::string_view path)
{
    path = Trim(path);
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    return path;
}

bool IsSubKeyOf(std::string_view path, std::string_view parent)
{
    path = KeyName(path);
    parent = KeyName(parent);
    return path.size() > parent.size() && path[parent.size()] == '\\' &&
           EqualNoCase(path.substr(0, parent.size()), parent);
}
}  // namespace

CRegistryFile CRegistryFile::Parse(std::string_view text)
{
    CRegistryFile file;
    file.m_sections.push_back({});
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        std::string_view trimmed = Trim(line);
        size_t next = end + 1;

        if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']' && trimmed[1] != '-') {
            CSection section;
            section.path = std::string(KeyName(trimmed.substr(1, trimmed.size() - 2)));
            section.header = std::string(line);
            file.m_sections.push_back(std::move(section));
            pos = next;
            continue;
        }

        CEntry entry;
        size_t lead = static_cast<size_t>(trimmed.data() - text.data());
        std::string name;
        size_t afterName = std::string_view::npos;
        if (!trimmed.empty() && trimmed.front() == '@') {
            afterName = lead + 1;
        } else if (!trimmed.empty() && trimmed.front() == '"') {
            afterName = ReadQuoted(text.substr(0, end), lead, name);
        }
        if (afterName != std::string_view::npos && file.m_sections.size() > 1) {
            size_t p = afterName;
            while (p < text.size() && IsBlank(text[p]))
                ++p;
            if (p < text.size() && text[p] == '=') {
                ++p;
                while (p < text.size() && IsBlank(text[p]))
                    ++p;
                std::string value;
                size_t close = (p < text.size() && text[p] == '"') ? ReadQuoted(text, p, value) : std::string_view::npos;
                if (close != std::string_view::npos) {
                    size_t lineEnd = text.find('\n', close);
                    if (lineEnd == std::string_view::npos)
                        lineEnd = text.size();
                    if (Trim(text.substr(close, lineEnd - close)).empty()) {
                        entry.name = name;
                        entry.value = std::move(value);
                        entry.raw = std::string(text.substr(pos, lineEnd - pos));
                        file.m_sections.back().entries.push_back(std::move(entry));
                        pos = lineEnd + 1;
                        continue;
                    }
                }
            }
        }
        if (!(file.m_sections.size() == 1 && trimmed == kHeader)) {
            entry.raw = std::string(line);
            file.m_sections.back().entries.push_back(std::move(entry));
        }
        pos = next;
    }
    return file;
}

std::string CRegistryFile::Serialize() const
{
    std::string out = std::string(kHeader) + "\n";
    for (const CSection& section : m_sections) {
        if (&section != &m_sections.front())
            out += section.header + "\n";
        for (const CEntry& entry : section.entries) {
            if (entry.name)
                out += (entry.name->empty() ? std::string("@") : Quote(*entry.name)) + "=" + Quote(entry.value);
            else
                out += entry.raw;
            out += "\n";
        }
    }
    return out;
}

const CRegistryFile::CSection* CRegistryFile::FindSection(std::string_view keyPath) const
{
    // A key written twice reads as regedit would import it: the later section wins.
    const CSection* found = nullptr;
    for (size_t i = 1; i < m_sections.size(); ++i)
        if (EqualNoCase(m_sections[i].path, KeyName(keyPath)))
            found = &m_sections[i];
    return found;
}

CRegistryFile::CSection* CRegistryFile::FindSection(std::string_view keyPath)
{
    return const_cast<CSection*>(static_cast<const CRegistryFile*>(this)->FindSection(keyPath));
}

bool CRegistryFile::HasKey(std::string_view keyPath) const
{
    return FindSection(keyPath) != nullptr;
}

std::optional<std::string> CRegistryFile::GetValue(std::string_view keyPath, std::string_view name) const
{
    std::optional<std::string> value;
    for (size_t i = 1; i < m_sections.size(); ++i) {
        if (!EqualNoCase(m_sections[i].path, KeyName(keyPath)))
            continue;
        for (const CEntry& entry : m_sections[i].entries)
            if (entry.name && EqualNoCase(*entry.name, name))
                value = entry.value;
    }
    return value;
}

std::vector<std::pair<std::string, std::string>> CRegistryFile::GetValues(std::string_view keyPath) const
{
    std::vector<std::pair<std::string, std::string>> values;
    if (const CSection* section = FindSection(keyPath)) {
        for (const CEntry& entry : section->entries)
            if (entry.name && !entry.name->empty())
                values.emplace_back(*entry.name, entry.value);
    }
    return values;
}

bool CRegistryFile::SetValue(std::string_view keyPath, std::string_view name, std::string_view text)
{
    CEntry* last = nullptr;
    for (size_t i = 1; i < m_sections.size(); ++i) {
        if (!EqualNoCase(m_sections[i].path, KeyName(keyPath)))
            continue;
        for (CEntry& entry : m_sections[i].entries)
            if (entry.name && EqualNoCase(*entry.name, name))
                last = &entry;
    }
    if (last) {
        last->value = std::string(text);
        return true;
    }
    CSection* section = FindSection(keyPath);
    if (!section)
        return false;
    CEntry entry;
    entry.name = std::string(name);
    entry.value = std::string(text);
    // Keep the blank line that separates sections after the new value.
    auto at = section->entries.end();
    while (at != section->entries.begin() && !std::prev(at)->name && Trim(std::prev(at)->raw).empty())
        --at;
    section->entries.insert(at, std::move(entry));
    return true;
}

void CRegistryFile::CreateKey(std::string_view keyPath)
{
    if (HasKey(keyPath))
        return;
    CSection& last = m_sections.back();
    if (last.entries.empty() || last.entries.back().name || !Trim(last.entries.back().raw).empty())
        last.entries.push_back({});
    CSection section;
    section.path = std::string(KeyName(keyPath));
    section.header = "[" + section.path + "]";
    section.entries.push_back({});
    m_sections.push_back(std::move(section));
}

bool CRegistryFile::DeleteKey(std::string_view keyPath)
{
    size_t before = m_sections.size();
    for (size_t i = m_sections.size(); i-- > 1;) {
        if (EqualNoCase(m_sections[i].path, KeyName(keyPath)) || IsSubKeyOf(m_sections[i].path, keyPath))
            m_sections.erase(m_sections.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return m_sections.size() != before;
}

std::string CRegistryFile::DefaultPath()
{
    if (const char* path = std::getenv("CORVANE_REGISTRY"); path && *path)
        return path;
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        config = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        config = std::string(home) + "/.config";
    else
        config = ".";
    return config + "/corvane/registry.reg";
}

CRegistryFile CRegistryFile::Load(const std::string& path)
{
    std::string text;
    if (ReadWholeFile(path, text, kMaxRegistryFileSize) != CReadResult::Ok)
        return Parse({});
    return Parse(text);
}

std::string CRegistryFile::ResolveLinks(const std::string& path)
{
    std::filesystem::path resolved = path;
    // As many hops as the kernel follows; a longer chain or a loop stays where it is.
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(resolved, ec))
            return resolved.string();
        std::filesystem::path target = std::filesystem::read_symlink(resolved, ec);
        if (ec)
            break;
        resolved = target.is_absolute() ? target : resolved.parent_path() / target;
    }
    return path;
}

std::string CRegistryFile::Problem(const std::string& path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return "is a folder, not a file";
    std::string text;
    switch (ReadWholeFile(path, text, kMaxRegistryFileSize)) {
    case CReadResult::Ok:
    case CReadResult::Missing:
        return {};
    case CReadResult::Failed:
        break;
    }
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxRegistryFileSize)
        return "is larger than " + std::to_string(kMaxRegistryFileSize / (1024 * 1024)) + " MiB";
    return "cannot be read";
}

bool CRegistryFile::UpdateImpl(const std::string& linkPath, bool createIfMissing, void* change,
                               bool (*call)(void*, CRegistryFile&))
{
    const std::string path = ResolveLinks(linkPath);
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::path(path).parent_path();
    if (createIfMissing && !dir.empty()) {
        // Only a folder made here is made private: a folder the file already lives in (the
        // user's own, or a shared one) keeps the permissions it has.
        if (std::filesystem::create_directories(dir, ec))
            std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ec);
    } else if (!createIfMissing && !std::filesystem::exists(path, ec)) {
        return false;
    }

    std::string lockPath = path + ".lock";
    int lock = sys::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0)
        return false;
    int rc;
    do {
        rc = ::flock(lock, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    bool ok = false;
    if (rc == 0) {
        // A file that exists but cannot be read is never replaced: that would lose it.
        std::string text;
        CReadResult read = ReadWholeFile(path, text, kMaxRegistryFileSize);
        if (read == CReadResult::Ok || (read == CReadResult::Missing && createIfMissing)) {
            CRegistryFile file = Parse(text);
            if (call(change, file))
                ok = WriteFileAtomically(path, file.Serialize(), 0600);
        }
    }
    ::close(lock);
    return ok;
}
