#pragma once

#include <string>
#include <string_view>

// The SHA-256 of a file's bytes in lower-case hex, read in pieces so that large archives
// cost no memory; empty when the file cannot be read whole (missing, a folder, a read error).
std::string Sha256Hex(const std::string& path);

// The same for SHA-1, the digest Maven repositories publish beside each file.
std::string Sha1Hex(const std::string& path);

// Both digests from one read of the file; both empty on the same failures.
struct CFileDigests
{
    std::string sha1;
    std::string sha256;
};
CFileDigests Sha1AndSha256Hex(const std::string& path);
// The same for bytes in memory (an archive inside another).
CFileDigests Sha1AndSha256OfBytes(std::string_view bytes);
