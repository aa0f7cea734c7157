#include "TestArchives.h"

#include <gtest/gtest.h>
#include <zip.h>

void MakeArchive(const std::string& path, const std::vector<std::string>& entries)
{
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr) << "zip_open " << path << ": " << error;
    for (const std::string& name : entries) {
        zip_source_t* source = zip_source_buffer(archive, "x", 1, 0);
        ASSERT_NE(source, nullptr);
        ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_RAW), 0) << zip_strerror(archive);
    }
    ASSERT_EQ(zip_close(archive), 0) << path;
}
