#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum class CReadResult
{
    Ok,
    Missing,  // no such file
    Failed,   // exists but cannot be read, or is larger than allowed
};

// Reads a whole file of at most maxSize bytes.
CReadResult ReadWholeFile(const std::string& path, std::string& out, size_t maxSize);

// Writes all of data to fd, going on after interruptions and short writes.
bool WriteAll(int fd, std::string_view data);

// Writes a temporary file beside path, flushes it to disk and renames it over path,
// so that readers see either the old or the new content, never half of it.
bool WriteFileAtomically(const std::string& path, const std::string& content, unsigned mode);

// The folder part of a path: "." for a bare name, "/" for a file in the root.
std::string DirectoryOf(const std::string& path);
// After a rename the directory entry itself must reach the disk, or a crash may bring the
// old file back.
void SyncDirectoryOf(const std::string& path);
// Puts path + "_new", written whole before, in place of path and makes that durable.
// False when there was nothing to move or the move failed; path is then unchanged.
bool CommitStagedFile(const std::string& path);

// MoveFileEx with MOVEFILE_REPLACE_EXISTING: replaces to by from.
bool MoveFileReplace(const std::string& from, const std::string& to);
// DeleteFile: true when the file is gone afterwards.
bool DeleteFileIfExists(const std::string& path);

// The first line of a file read as text: up to the first line feed, without the carriage
// return a server that ends its lines with CR LF leaves before it.
std::string FirstLine(std::string_view text);
