#include "PendingRenames.h"

#include <cerrno>
#include <cstdio>

#include "ErrorReport.h"
#include "FileUtil.h"
#include "SystemCalls.h"

namespace
{
bool IsStorable(const std::string& path)
{
    return !path.empty() && path.find_first_of("\t\n\r") == std::string::npos;
}
}  // namespace

CPendingRenames::CPendingRenames(std::string listFile)
    : m_listFile(std::move(listFile))
{
}

CPendingRenames CPendingRenames::ForInstallation(const std::string& installPath)
{
    return CPendingRenames(installPath + "/pending-renames.txt");
}

std::vector<std::pair<std::string, std::string>> CPendingRenames::Entries() const
{
    std::vector<std::pair<std::string, std::string>> entries;
    std::string text;
    if (ReadWholeFile(m_listFile, text, 1024 * 1024) != CReadResult::Ok)
        return entries;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        size_t tab = line.find('\t');
        // A torn last line has no tab or an empty side; it is not an entry.
        if (tab != std::string::npos && tab > 0 && tab + 1 < line.size())
            entries.emplace_back(line.substr(0, tab), line.substr(tab + 1));
        pos = end + 1;
    }
    return entries;
}

bool CPendingRenames::Save(const std::vector<std::pair<std::string, std::string>>& entries) const
{
    if (entries.empty())
        return DeleteFileIfExists(m_listFile);
    std::string text;
    for (const auto& [from, to] : entries)
        text += from + "\t" + to + "\n";
    return WriteFileAtomically(m_listFile, text, 0644);
}

bool CPendingRenames::Schedule(const std::string& from, const std::string& to)
{
    if (!IsStorable(from) || !IsStorable(to))
        return false;
    auto entries = Entries();
    std::erase_if(entries, [&](const auto& entry) { return entry.second == to; });
    entries.emplace_back(from, to);
    return Save(entries);
}

int CPendingRenames::ApplyAll()
{
    auto entries = Entries();
    if (entries.empty())
        return 0;
    std::vector<std::pair<std::string, std::string>> kept;
    int moved = 0;
    for (const auto& [from, to] : entries) {
        if (sys::rename(from.c_str(), to.c_str()) == 0) {
            ++moved;
        } else if (errno != ENOENT) {
            ReportError("cannot move " + from + " to " + to, "CPendingRenames::ApplyAll");
            kept.emplace_back(from, to);
        }
    }
    Save(kept);
    return moved;
}
