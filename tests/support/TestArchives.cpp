#include "support/TestArchives.h"

#include <filesystem>
#include <tuple>

#include <gtest/gtest.h>
#include <zip.h>

#include "TestSupport.h"

void MakeArchive(const std::string& path, const std::vector<std::string>& entries)
{
    CEntries withContent;
    for (const std::string& name : entries)
        withContent.emplace_back(name, "x");
    MakeArchiveOf(path, withContent);
}

void MakeArchiveOf(const std::string& path, const CEntries& entries)
{
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr) << "zip_open " << path << ": " << error;
    for (const auto& [name, content] : entries) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        ASSERT_NE(source, nullptr);
        ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_RAW), 0) << zip_strerror(archive);
    }
    ASSERT_EQ(zip_close(archive), 0) << path;
}

std::string ArchiveBytes(const CEntries& entries)
{
    CTempDir dir;
    const std::string path = dir.File("inner.zip");
    MakeArchiveOf(path, entries);
    return ReadFileText(path);
}

CEntries ArchiveEntries(const std::string& path)
{
    CEntries entries;
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    EXPECT_NE(archive, nullptr) << "zip_open " << path << ": " << error;
    if (!archive)
        return entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        const zip_uint64_t index = static_cast<zip_uint64_t>(i);
        zip_stat_t st;
        zip_file_t* file = zip_stat_index(archive, index, 0, &st) == 0 ? zip_fopen_index(archive, index, 0) : nullptr;
        EXPECT_NE(file, nullptr) << path << " entry " << i;
        if (!file)
            continue;
        std::string content(st.size, '\0');
        EXPECT_EQ(zip_fread(file, content.data(), content.size()), static_cast<zip_int64_t>(content.size()));
        zip_fclose(file);
        entries.emplace_back(st.name, std::move(content));
    }
    zip_discard(archive);
    return entries;
}

void SetUnixMode(const std::string& path, const std::string& entry, unsigned mode)
{
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), 0, &error);
    ASSERT_NE(archive, nullptr) << "zip_open " << path << ": " << error;
    const zip_int64_t index = zip_name_locate(archive, entry.c_str(), ZIP_FL_ENC_RAW);
    ASSERT_GE(index, 0) << entry;
    ASSERT_EQ(zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                               static_cast<zip_uint32_t>(mode) << 16),
              0);
    ASSERT_EQ(zip_close(archive), 0) << path;
}

void DeclareSize(const std::string& path, const std::string& entry, std::uint32_t size)
{
    std::string bytes = ReadFileText(path);
    auto u16 = [&bytes](size_t at) { return static_cast<size_t>(static_cast<unsigned char>(bytes[at])) |
                                            static_cast<size_t>(static_cast<unsigned char>(bytes[at + 1])) << 8; };
    auto put32 = [&bytes, size](size_t at) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    };
    // The local header holds the size at 22 and the name at 30; the central one at 24 and 46.
    int patched = 0;
    for (const auto& [signature, sizeAt, nameLengthAt, nameAt] :
         {std::tuple{std::string("PK\x03\x04"), 22, 26, 30}, std::tuple{std::string("PK\x01\x02"), 24, 28, 46}}) {
        for (size_t at = bytes.find(signature); at != std::string::npos; at = bytes.find(signature, at + 4)) {
            if (at + nameAt <= bytes.size() && bytes.compare(at + nameAt, u16(at + nameLengthAt), entry) == 0 &&
                u16(at + nameLengthAt) == entry.size()) {
                put32(at + sizeAt);
                ++patched;
            }
        }
    }
    ASSERT_EQ(patched, 2) << entry << " in " << path;
    WriteFileText(path, bytes);
}

std::string ClassFileBytes(const std::string& internalName, bool withWideConstant)
{
    std::string out;
    auto u1 = [&out](unsigned value) { out += static_cast<char>(value & 0xFF); };
    auto u2 = [&u1](unsigned value) { u1(value >> 8); u1(value); };
    auto utf8 = [&](const std::string& text) { u1(1); u2(static_cast<unsigned>(text.size())); out += text; };
    const unsigned first = withWideConstant ? 3 : 1;  // a long takes slots 1 and 2
    out = "\xCA\xFE\xBA\xBE";
    u2(0);
    u2(61);
    u2(first + 4);  // constant pool count
    if (withWideConstant) {
        u1(5);
        for (int i = 0; i < 8; ++i)
            u1(0x11);
    }
    utf8(internalName);
    u1(7);
    u2(first);
    utf8("java/lang/Object");
    u1(7);
    u2(first + 2);
    u2(0x21);         // public super
    u2(first + 1);    // this_class
    u2(first + 3);    // super_class
    for (int i = 0; i < 4; ++i)
        u2(0);        // interfaces, fields, methods, attributes
    return out;
}
