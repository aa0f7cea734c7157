#pragma once

#include <string>
#include <vector>

// Lists the classes of a JAR or ZIP archive by the entry paths in its central directory:
// com/acme/util/Parser.class and com/acme/util/Parser$Node.class both give
// com.acme.util.Parser. Any entry with ".class" somewhere in its path counts.
class CJarScan
{
public:
    CJarScan();

    // Appends the class names of the archive's entries to names. False when the archive
    // cannot be read; its error text then goes to standard output and nothing is added.
    bool GetClasses(const std::string& archivePath, std::vector<std::string>& names);

    // Longer entry paths are skipped.
    static constexpr size_t kMaxEntryLength = 2047;
};
