#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ClassEntries.h"
#include "Diagnostics.h"

class CUnitContent;

// Lists the classes of a JAR or ZIP archive by the entry paths in its central directory,
// named as CClassEntries says.
class CJarScan
{
public:
    CJarScan();

    // Where the error text of an archive that cannot be read goes (standard output unless set).
    void SetDiagnostics(CDiagnostics diagnostics) { m_diagnostics = std::move(diagnostics); }

    // Appends the class names of the archive's entries to names. False when the archive
    // cannot be read; its error text then goes to the diagnostics and nothing is added.
    bool GetClasses(const std::string& archivePath, std::vector<std::string>& names);

    // One archive's class names, for an archive inside another archive too.
    struct CListing
    {
        std::string path;  // "outer.war!/WEB-INF/lib/inner.jar" for a nested one
        int depth = 0;     // 0 for the archive itself
        std::vector<std::string> names;
        std::shared_ptr<CUnitContent> content;  // the archive kept open, for what matchers ask later
    };

    // Lists the archive and, from memory, every archive inside it (entries ending in .jar,
    // .war, .ear or .zip, in any case), down to kMaxNestingDepth levels. A nested archive
    // that is too large or cannot be read is left out. Each listing keeps its archive open. False when the archive itself
    // cannot be read; nothing is added then.
    bool ListNested(const std::string& archivePath, std::vector<CListing>& listings);

    // Longer entry paths are skipped.
    static constexpr size_t kMaxEntryLength = CClassEntries::kMaxEntryLength;
    // Bounds on what is read into memory below one archive.
    static constexpr int kMaxNestingDepth = 3;
    static constexpr size_t kMaxNestedSize = 64 * 1024 * 1024;
    static constexpr size_t kMaxNestedTotal = 512 * 1024 * 1024;

    // Whether a name ends like an archive the location scan reads (.jar, .war, .ear, .zip).
    static bool IsArchiveName(std::string_view name);

private:
    CDiagnostics m_diagnostics = WriteToStandardOutput;
};
