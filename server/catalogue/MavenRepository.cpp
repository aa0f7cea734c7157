#include "MavenRepository.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <tuple>
#include <utility>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace
{
constexpr std::string_view kSnapshot = "-SNAPSHOT";

// The classifier of name when it is prefix + ["-" classifier] + ".jar"; false otherwise.
bool ArchiveClassifier(std::string_view name, std::string_view prefix, std::string& classifier)
{
    if (!name.starts_with(prefix) || !name.ends_with(".jar") || name.size() < prefix.size() + 4)
        return false;
    std::string_view rest = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    if (rest.empty()) {
        classifier.clear();
        return true;
    }
    if (rest.size() < 2 || rest[0] != '-')
        return false;
    classifier = rest.substr(1);
    return true;
}

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A timestamped snapshot build of name: prefix + "20240101.120000-7" + rest; rest is then
// what follows the build number ("", "-tests.jar", ".pom", ...).
bool SnapshotBuild(std::string_view name, std::string_view prefix, std::string& stamp, unsigned long& build,
                   std::string_view& rest)
{
    if (!name.starts_with(prefix))
        return false;
    name.remove_prefix(prefix.size());
    if (name.size() < 17 || !AllDigits(name.substr(0, 8)) || name[8] != '.' || !AllDigits(name.substr(9, 6)) ||
        name[15] != '-')
        return false;
    stamp = name.substr(0, 15);
    name.remove_prefix(16);
    size_t digits = 0;
    while (digits < name.size() && digits < 9 && name[digits] >= '0' && name[digits] <= '9')
        ++digits;
    if (digits == 0)
        return false;
    build = std::stoul(std::string(name.substr(0, digits)));
    rest = name.substr(digits);
    return rest == ".pom" || (rest.ends_with(".jar") && (rest == ".jar" || rest.starts_with("-")));
}
}  // namespace

CMavenRepository::CMavenRepository(std::string root) : m_root(std::move(root))
{
    while (m_root.size() > 1 && m_root.back() == '/')
        m_root.pop_back();
}

bool CMavenRepository::Walk(std::vector<CVersionFolder>& folders)
{
    std::error_code error;
    m_canonicalRoot = fs::canonical(m_root, error).string();
    if (error || !fs::is_directory(m_canonicalRoot, error))
        return false;
    m_visited.clear();
    m_skippedLinks = 0;
    std::vector<std::string> parts;
    WalkFolder(m_root, parts, folders);
    return true;
}

// A linked folder is followed when it lies within the root.
bool CMavenRepository::InsideRoot(const std::string& path) const
{
    std::error_code error;
    const std::string target = fs::canonical(path, error).string();
    return !error && target.starts_with(m_canonicalRoot + "/");
}

void CMavenRepository::WalkFolder(const std::string& path, std::vector<std::string>& parts,
                                  std::vector<CVersionFolder>& folders)
{
    // Each folder is read once, however many links lead to it: loops end here.
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || !m_visited.emplace(st.st_dev, st.st_ino).second) {
        ++m_skippedLinks;
        return;
    }
    std::vector<CEntry> entries;
    std::error_code error;
    for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        CEntry entry{it->path().filename().string(), it->is_directory(ignored), it->is_symlink(ignored)};
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const CEntry& a, const CEntry& b) { return a.name < b.name; });

    CVersionFolder folder;
    if (parts.size() >= 3 && ReadVersionFolder(path, parts, entries, folder)) {
        folders.push_back(std::move(folder));
        return;
    }
    for (const CEntry& entry : entries) {
        if (!entry.folder || entry.name.starts_with("."))
            continue;
        const std::string child = path + "/" + entry.name;
        if (parts.size() >= kMaxDepth || (entry.link && !InsideRoot(child))) {
            ++m_skippedLinks;
            continue;
        }
        parts.push_back(entry.name);
        WalkFolder(child, parts, folders);
        parts.pop_back();
    }
}

bool CMavenRepository::ReadVersionFolder(const std::string& path, const std::vector<std::string>& parts,
                                         const std::vector<CEntry>& entries, CVersionFolder& folder)
{
    const std::string& version = parts[parts.size() - 1];
    const std::string& artifact = parts[parts.size() - 2];
    const std::string prefix = artifact + "-" + version;
    std::map<std::string, std::string> archives;  // classifier -> path
    std::string pom;
    for (const CEntry& entry : entries) {
        std::string classifier;
        if (entry.folder)
            continue;
        if (entry.name == prefix + ".pom")
            pom = path + "/" + entry.name;
        else if (ArchiveClassifier(entry.name, prefix, classifier))
            archives.emplace(classifier, path + "/" + entry.name);
    }
    // A snapshot's timestamped builds stand for it; the newest one wins.
    if (version.size() > kSnapshot.size() && version.ends_with(kSnapshot)) {
        const std::string buildPrefix = artifact + "-" + version.substr(0, version.size() - kSnapshot.size()) + "-";
        std::map<std::tuple<std::string, unsigned long>, std::vector<std::pair<std::string, std::string>>> builds;
        for (const CEntry& entry : entries) {
            std::string stamp;
            unsigned long build = 0;
            std::string_view rest;
            if (!entry.folder && SnapshotBuild(entry.name, buildPrefix, stamp, build, rest))
                builds[{stamp, build}].emplace_back(std::string(rest), entry.name);
        }
        if (!builds.empty()) {
            pom.clear();
            archives.clear();
            for (const auto& [rest, name] : builds.rbegin()->second) {
                if (rest == ".pom")
                    pom = path + "/" + name;
                else
                    archives.emplace(rest == ".jar" ? std::string() : rest.substr(1, rest.size() - 5), path + "/" + name);
            }
        }
    }
    if (pom.empty() && archives.empty())
        return false;
    for (size_t i = 0; i + 2 < parts.size(); ++i)
        folder.group += (i ? "." : "") + parts[i];
    folder.artifact = artifact;
    folder.version = version;
    folder.folder = path;
    folder.pom = pom;
    folder.debianAlias = version == "debian";
    for (auto& [classifier, archivePath] : archives)  // the main archive ("") sorts first
        folder.archives.push_back({classifier, archivePath});
    return true;
}
