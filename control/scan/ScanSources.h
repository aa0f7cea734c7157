#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Diagnostics.h"
#include "JarScan.h"
#include "ScanUnit.h"

// Where the scan's units come from: the CLASSPATH's elements (an archive or a folder of
// class files), and the archives and class trees below the scan locations, each archive
// with the archives inside it.
class CScanSources
{
public:
    using CCancelled = std::function<bool()>;

    // Archive errors go to diagnostics.
    explicit CScanSources(CDiagnostics diagnostics);

    // One unit per CLASSPATH element, named by the element: an archive's entries, or the
    // class files below a folder. Only .jar, .JAR, .zip and .ZIP name archives.
    std::vector<CScanUnit> ListClassPath(const std::string& classPath, const CCancelled& cancelled);

    // Collects the archives and class trees below the locations, to be listed one at a time.
    void FindLocations(const std::vector<std::string>& locations, const CCancelled& cancelled);
    size_t GetItemCount() const { return m_items.size(); }
    const std::string& GetItemPath(size_t index) const { return m_items[index].path; }
    // The units of one item: a class tree, or an archive and the archives inside it; none
    // when the archive cannot be read.
    std::vector<CScanUnit> ListItem(size_t index);

private:
    struct CItem
    {
        std::string path;
        bool archive = true;
        std::vector<std::string> names;  // a class tree's, read by the walk
    };

    CJarScan m_jarScan;
    std::vector<CItem> m_items;
};
