#pragma once

#include <string>

// The SHA-256 of a file's bytes in lower-case hex, read in pieces so that large archives
// cost no memory; empty when the file cannot be read whole (missing, a folder, a read error).
std::string Sha256Hex(const std::string& path);
