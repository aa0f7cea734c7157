#include "VersionBlock.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

TEST(VersionBlock, ReadsTheStampOfThisProgramFromDisk)
{
    std::string self = ModulePathOf(reinterpret_cast<const void*>(&ReadVersionBlock));
    ASSERT_FALSE(self.empty());
    std::optional<CVersionBlock> block = ReadVersionBlock(self);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->fixed.dwSignature, kVersionSignature);
    EXPECT_EQ(block->fixed.dwFileVersionMS, (2u << 16) | 3u);
    EXPECT_EQ(block->fixed.dwFileVersionLS, (4u << 16) | 5u);
    EXPECT_EQ(block->fixed.dwProductVersionMS, (6u << 16) | 7u);
    EXPECT_EQ(block->fixed.dwProductVersionLS, 65535u);
    EXPECT_EQ(block->translation & 0xFFFF, 0x0409u);
}

TEST(VersionBlock, NothingForFilesWithoutABlock)
{
    CTempDir dir;
    WriteFileText(dir.File("text"), "not an executable");
    WriteFileText(dir.File("short"), "\x7f" "ELF");
    std::string elfHeaderOnly = "\x7f" "ELF\x02\x01\x01" + std::string(57, '\0');
    WriteFileText(dir.File("header"), elfHeaderOnly);
    for (const char* name : {"text", "short", "header", "missing"})
        EXPECT_FALSE(ReadVersionBlock(dir.File(name))) << name;
    EXPECT_FALSE(ReadVersionBlock("/bin/true"));  // a real ELF file without our section
}
