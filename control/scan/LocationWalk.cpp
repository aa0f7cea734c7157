#include "LocationWalk.h"

#include <algorithm>
#include <optional>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>

#include "ClassEntries.h"
#include "ClassFile.h"
#include "ErrorReport.h"
#include "FileUtil.h"
#include "JarScan.h"

namespace
{
// The folder a class's package path starts in: dir without the package folders at its end,
// or dir itself when the file does not stand where its package says.
std::string TreeRoot(const std::string& directory, const std::string& internalName)
{
    const size_t slash = internalName.rfind('/');
    if (slash == std::string::npos)
        return directory;
    const std::string packagePath = "/" + internalName.substr(0, slash);
    if (!directory.ends_with(packagePath))
        return directory;
    const std::string root = directory.substr(0, directory.size() - packagePath.size());
    return root.empty() ? "/" : root;
}
}  // namespace

CLocationWalk::CLocationWalk(bool findArchives, CCancelled cancelled)
    : m_findArchives(findArchives), m_cancelled(std::move(cancelled))
{
}

void CLocationWalk::Walk(const std::string& location)
{
    struct stat st{};
    if (::stat(location.c_str(), &st) != 0) {
        DebugOutput("scan: " + location + " is gone\n");
        return;
    }
    if (S_ISDIR(st.st_mode))
        WalkDirectory(location);
    else if (m_findArchives && S_ISREG(st.st_mode))
        m_archives.push_back(location);
}

void CLocationWalk::WalkDirectory(const std::string& directory)
{
    struct stat st{};
    if (::stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return;
    // A symbolic link back up the tree would otherwise be walked forever.
    CDirectoryId id{st.st_dev, st.st_ino};
    if (std::find(m_ancestors.begin(), m_ancestors.end(), id) != m_ancestors.end())
        return;

    DIR* dir = ::opendir(directory.c_str());
    if (!dir) {
        DebugOutput("scan: cannot read " + directory + "\n");
        return;
    }
    std::vector<std::pair<std::string, unsigned char>> entries;
    // Cancel must be noticed also inside a large folder.
    while (dirent* entry = m_cancelled() ? nullptr : ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            entries.emplace_back(name, entry->d_type);
    }
    ::closedir(dir);
    // In name order, so that a scan of the same tree finds the same things in the same order.
    std::sort(entries.begin(), entries.end());

    std::vector<std::string> subdirectories;
    for (const auto& [name, type] : entries) {
        const std::string path = directory == "/" ? "/" + name : directory + "/" + name;
        bool isDirectory = type == DT_DIR;
        bool isFile = type == DT_REG;
        if (type == DT_LNK || type == DT_UNKNOWN) {
            struct stat target{};
            if (::stat(path.c_str(), &target) == 0) {
                isDirectory = S_ISDIR(target.st_mode);
                isFile = S_ISREG(target.st_mode);
            }
        }
        if (isDirectory)
            subdirectories.push_back(path);
        else if (isFile && name.ends_with(".class"))
            AddClassFile(directory, path);
        else if (isFile && m_findArchives && CJarScan::IsArchiveName(name))
            m_archives.push_back(path);
        if (m_cancelled())
            return;
    }

    m_ancestors.push_back(id);
    for (const std::string& subdirectory : subdirectories) {
        if (m_cancelled())
            break;
        WalkDirectory(subdirectory);
    }
    m_ancestors.pop_back();
}

void CLocationWalk::AddClassFile(const std::string& directory, const std::string& path)
{
    std::string bytes;
    std::optional<std::string> internalName;
    if (ReadWholeFile(path, bytes, CClassFile::kMaxSize) == CReadResult::Ok)
        internalName = CClassFile::ReadDeclaredName(bytes);
    if (!internalName) {
        DebugOutput("scan: " + path + " is not a class file\n");
        return;
    }
    std::string name = CClassFile::LookupName(*internalName);
    // A module or package descriptor declares no class to look up.
    if (CClassEntries::IsClassName(name))
        m_trees[TreeRoot(directory, *internalName)].push_back(std::move(name));
}
