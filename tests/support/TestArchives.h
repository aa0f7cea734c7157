#pragma once

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

// A minimal, well-formed class file that declares internalName ("com/acme/Parser$Node");
// withWideConstant puts a long constant (two pool slots) before the class entries.
std::string ClassFileBytes(const std::string& internalName, bool withWideConstant = false);
