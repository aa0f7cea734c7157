#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

// One version folder of a Maven-layout repository: group/path/artifact/version/ holding
// artifact-version.pom and artifact-version[-classifier].jar. A snapshot folder
// ("1.0-SNAPSHOT") gives its newest timestamped build, or its plain files when it has none.
struct CVersionFolder
{
    struct CArchive
    {
        std::string classifier;  // empty for the main archive
        std::string path;
    };

    std::string group;  // dotted
    std::string artifact;
    std::string version;  // as the folder names it
    std::string folder;
    std::string pom;  // empty when the folder holds none
    std::vector<CArchive> archives;  // the main archive first, then by classifier
    // Debian's "debian" folder beside the real version: a source of parent POMs, never a version.
    bool debianAlias = false;
};

// Walks one repository root. Folder links are followed only within the root and only once
// (loops end there); file links are followed anywhere, as Debian's point into /usr/share/java.
class CMavenRepository
{
public:
    explicit CMavenRepository(std::string root);

    // Every version folder, in byte order of their paths; false when the root is no folder.
    bool Walk(std::vector<CVersionFolder>& folders);
    // Folder links left out: out of the root, round a loop, or too deep.
    size_t SkippedLinks() const { return m_skippedLinks; }

    static constexpr size_t kMaxDepth = 48;

private:
    struct CEntry
    {
        std::string name;
        bool folder = false;
        bool link = false;
    };

    void WalkFolder(const std::string& path, std::vector<std::string>& parts, std::vector<CVersionFolder>& folders);
    bool InsideRoot(const std::string& path) const;
    static bool ReadVersionFolder(const std::string& path, const std::vector<std::string>& parts,
                                  const std::vector<CEntry>& entries, CVersionFolder& folder);

    std::string m_root;
    std::string m_canonicalRoot;
    std::set<std::pair<unsigned long, unsigned long>> m_visited;  // (device, inode) of folders entered
    size_t m_skippedLinks = 0;
};
