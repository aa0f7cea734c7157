#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <sys/types.h>

// Searches scan locations for what holds classes: archives (listed later, one at a time)
// and trees of class files, each named by the class it declares and grouped under the
// folder its package path starts in. Symbolic-link loops, unreadable folders and files
// that are not class files are passed over; the walk stops as soon as it is cancelled.
class CLocationWalk
{
public:
    using CCancelled = std::function<bool()>;

    // findArchives: also collect archives found in folders (the CLASSPATH walk does not).
    CLocationWalk(bool findArchives, CCancelled cancelled);

    // An archive location is taken as it is; a folder is searched below it.
    void Walk(const std::string& location);

    const std::vector<std::string>& GetArchives() const { return m_archives; }
    // Tree root (the folder the package path starts in) to the names of its classes, one
    // per class file, in the order found.
    const std::map<std::string, std::vector<std::string>>& GetTrees() const { return m_trees; }

private:
    struct CDirectoryId
    {
        dev_t device;
        ino_t inode;
        bool operator==(const CDirectoryId&) const = default;
    };

    void WalkDirectory(const std::string& directory);
    void AddClassFile(const std::string& directory, const std::string& path);

    bool m_findArchives;
    CCancelled m_cancelled;
    std::vector<CDirectoryId> m_ancestors;
    std::vector<std::string> m_archives;
    std::map<std::string, std::vector<std::string>> m_trees;
};
