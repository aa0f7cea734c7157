#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

// What a source gives the matchers: one archive (the archive itself or one inside it) or
// one tree of class files, with the names of the classes it holds and, for the scan
// locations' units, what more the matchers may read from it.
class CUnitContent;

class CScanUnit
{
public:
    CScanUnit(std::string path, bool nested, std::vector<std::string> names,
              std::shared_ptr<CUnitContent> content = nullptr);

    // An archive, "outer.war!/WEB-INF/lib/inner.jar", or a class tree's folder.
    const std::string& GetPath() const { return m_path; }
    // Whether the unit is an archive inside another archive.
    bool IsNested() const { return m_nested; }
    // One name per class entry or class file, in the order found.
    const std::vector<std::string>& GetNames() const { return m_names; }
    // The names sorted, each once.
    const std::vector<std::string>& GetDistinctNames() const;
    // The class files' bytes and the archive's metadata, read on demand; null when the unit
    // has none to give (a CLASSPATH element).
    CUnitContent* GetContent() const { return m_content.get(); }

private:
    std::string m_path;
    bool m_nested;
    std::vector<std::string> m_names;
    std::shared_ptr<CUnitContent> m_content;
    mutable std::optional<std::vector<std::string>> m_distinct;
};
