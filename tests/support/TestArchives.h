#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Writes a real ZIP archive holding one small entry per name, in the given order, with the
// names stored byte for byte. Fails the current test when libzip refuses.
void MakeArchive(const std::string& path, const std::vector<std::string>& entries);

// The same with each entry's content given; ArchiveBytes answers the archive itself, for
// an archive inside another.
using CEntries = std::vector<std::pair<std::string, std::string>>;
void MakeArchiveOf(const std::string& path, const CEntries& entries);
std::string ArchiveBytes(const CEntries& entries);
// The entries of a real archive with their contents, in the archive's order; fails the
// current test when libzip cannot read it.
CEntries ArchiveEntries(const std::string& path);

// Marks an entry of an existing archive as stored from a unix file of this mode
// (S_IFLNK | 0777 for a symbolic link).
void SetUnixMode(const std::string& path, const std::string& entry, unsigned mode);
// Rewrites the uncompressed size an entry declares, in both of its headers, as a zip bomb
// would; the compressed bytes stay as they are.
void DeclareSize(const std::string& path, const std::string& entry, std::uint32_t size);

// A minimal, well-formed class file that declares internalName ("com/acme/Parser$Node");
// withWideConstant puts a long constant (two pool slots) before the class entries.
std::string ClassFileBytes(const std::string& internalName, bool withWideConstant = false);
