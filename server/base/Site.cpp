#include "Site.h"

#include <climits>
#include <cstdlib>
#include <vector>

#include <sys/stat.h>

namespace
{
std::optional<std::string> RealPath(const std::string& path)
{
    char buffer[PATH_MAX];
    if (!::realpath(path.c_str(), buffer))
        return std::nullopt;
    return std::string(buffer);
}
}  // namespace

std::optional<std::string> NormaliseRelativePath(std::string_view relative)
{
    if (relative.find('\0') != std::string_view::npos || relative.find('\\') != std::string_view::npos)
        return std::nullopt;
    std::string clean;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t slash = relative.find('/', start);
        if (slash == std::string_view::npos)
            slash = relative.size();
        std::string_view segment = relative.substr(start, slash - start);
        start = slash + 1;
        if (segment.empty() || segment == ".")
            continue;
        // ".." never climbs, and hidden files (build keys, temporaries) are not served.
        if (segment.front() == '.')
            return std::nullopt;
        if (!clean.empty())
            clean += '/';
        clean += segment;
    }
    return clean;
}

bool CSite::Open(const std::string& dir, std::string& error)
{
    auto root = RealPath(dir);
    struct stat info{};
    if (!root || ::stat(root->c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = "site directory \"" + dir + "\" does not exist; build it with server/build-site " + dir;
        return false;
    }
    m_root = *root;
    std::string missing;
    for (const char* file : {kSiteInfo, kJavaIndex, kCatalogue, kLookupTable, "pages/layout.xsl", "www/vantrel.css"})
        if (!ResolveFile(file))
            missing += std::string(missing.empty() ? "" : ", ") + file;
    if (!missing.empty()) {
        error = "\"" + dir + "\" is not a complete site (missing " + missing +
                "); rebuild it with server/build-site " + dir;
        m_root.clear();
        return false;
    }
    return true;
}

bool CSite::Contains(std::string_view realPath) const
{
    if (m_root.empty())
        return false;
    if (realPath == m_root)
        return true;
    return realPath.size() > m_root.size() && realPath.substr(0, m_root.size()) == m_root &&
           realPath[m_root.size()] == '/';
}

std::optional<std::string> CSite::Resolve(std::string_view relative) const
{
    auto clean = NormaliseRelativePath(relative);
    if (!clean || m_root.empty())
        return std::nullopt;
    auto real = RealPath(clean->empty() ? m_root : m_root + "/" + *clean);
    if (!real || !Contains(*real))
        return std::nullopt;
    return real;
}

std::optional<std::string> CSite::ResolveFile(std::string_view relative) const
{
    auto real = Resolve(relative);
    struct stat info{};
    if (!real || ::stat(real->c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return real;
}
