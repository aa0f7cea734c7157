#pragma once

#include <string>
#include <vector>

// Writes a real ZIP archive holding one small entry per name, in the given order, with the
// names stored byte for byte. Fails the current test when libzip refuses.
void MakeArchive(const std::string& path, const std::vector<std::string>& entries);
