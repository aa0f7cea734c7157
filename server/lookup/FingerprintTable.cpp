#include "FingerprintTable.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace
{
// Longer lines are no rows of this table: SCIDs and versions are short.
constexpr size_t kMaxLine = 1024;
}  // namespace

bool CFingerprintTable::IsName(std::string_view text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) > ' ' && c != 0x7f; });
}

bool CFingerprintTable::ParseFingerprint(std::string_view text, uint64_t& fingerprint)
{
    if (text.size() != 16)
        return false;
    uint64_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = value << 4 | static_cast<uint64_t>(digit);
    }
    fingerprint = value;
    return true;
}

bool CFingerprintTable::Load(const std::string& path, std::string& error)
{
    Clear();
    bool read = ReadFile(
        path, [this](uint64_t fingerprint, std::string_view scid, std::string_view version) {
            Add(fingerprint, scid, version);
        },
        error);
    if (!read)
        Clear();
    Build();
    return read;
}

bool CFingerprintTable::ReadFile(const std::string& path, const CRowSink& row, std::string& error)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "re"), std::fclose);
    if (!file) {
        if (errno == ENOENT)
            return true;
        error = "cannot read the fingerprint table " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string line;
    char buffer[4096];
    bool tooLong = false;
    auto take = [&] {
        std::string_view text(line);
        if (text.empty() || text.front() == '#')
            return;
        size_t first = text.find('\t');
        size_t second = first == std::string_view::npos ? first : text.find('\t', first + 1);
        uint64_t fingerprint;
        if (second == std::string_view::npos || !ParseFingerprint(text.substr(0, first), fingerprint))
            return;
        std::string_view scid = text.substr(first + 1, second - first - 1), version = text.substr(second + 1);
        if (IsName(scid) && IsName(version))
            row(fingerprint, scid, version);
    };
    while (std::fgets(buffer, sizeof buffer, file.get())) {
        size_t length = std::strlen(buffer);
        bool ended = length > 0 && buffer[length - 1] == '\n';
        if (ended)
            --length;
        if (!tooLong) {
            line.append(buffer, length);
            if (line.size() > kMaxLine) {
                tooLong = true;
                line.clear();
            }
        }
        if (ended) {
            if (!tooLong)
                take();
            line.clear();
            tooLong = false;
        }
    }
    if (std::ferror(file.get())) {
        error = "cannot read the fingerprint table " + path;
        return false;
    }
    if (!tooLong)
        take();
    return true;
}

void CFingerprintTable::Clear()
{
    m_rows.clear();
    m_versions.clear();
    m_versionIds.clear();
}

void CFingerprintTable::Add(uint64_t fingerprint, std::string_view scid, std::string_view version)
{
    std::string key;
    key.reserve(scid.size() + 1 + version.size());
    key.append(scid).append(1, '\t').append(version);
    auto [it, added] = m_versionIds.try_emplace(std::move(key), static_cast<uint32_t>(m_versions.size()));
    if (added)
        m_versions.push_back({std::string(scid), std::string(version)});
    m_rows.push_back({fingerprint, it->second, static_cast<uint32_t>(m_rows.size())});
}

void CFingerprintTable::Build()
{
    // One row per fingerprint and version: a version holding two classes alike counts once.
    std::sort(m_rows.begin(), m_rows.end(), [](const CRow& a, const CRow& b) {
        if (a.fingerprint != b.fingerprint)
            return a.fingerprint < b.fingerprint;
        return a.version != b.version ? a.version < b.version : a.order < b.order;
    });
    m_rows.erase(std::unique(m_rows.begin(), m_rows.end(),
                             [](const CRow& a, const CRow& b) {
                                 return a.fingerprint == b.fingerprint && a.version == b.version;
                             }),
                 m_rows.end());
    std::sort(m_rows.begin(), m_rows.end(), [](const CRow& a, const CRow& b) {
        return a.fingerprint != b.fingerprint ? a.fingerprint < b.fingerprint : a.order < b.order;
    });
    m_rows.shrink_to_fit();
}

std::vector<const CFingerprintTable::CVersion*> CFingerprintTable::Find(uint64_t fingerprint) const
{
    auto it = std::lower_bound(m_rows.begin(), m_rows.end(), fingerprint,
                               [](const CRow& row, uint64_t value) { return row.fingerprint < value; });
    std::vector<const CVersion*> versions;
    for (; it != m_rows.end() && it->fingerprint == fingerprint; ++it)
        versions.push_back(&m_versions[it->version]);
    return versions;
}
