#include "VersionInfo.h"

#include <gtest/gtest.h>

#include "DllVersion.h"
#include "support/TestSupport.h"

TEST(CVersionInfo, FileAndProductVersionsOfThisProgram)
{
    CVersionInfo info;
    ASSERT_TRUE(info.ReadFromModule(reinterpret_cast<const void*>(&ReadVersionBlock)));
    EXPECT_EQ(info.GetFileVersion().GetText(), "1.0.0.6");
    EXPECT_EQ(info.GetProductVersion().GetText(), "1.0.0.0");
    EXPECT_EQ(info.GetTranslation() & 0xFFFF, 0x0409u);

    // A failed read starts from zero again.
    EXPECT_FALSE(info.ReadFromFile("/bin/true"));
    EXPECT_EQ(info.GetFileVersion().GetText(), "0.0.0.0");
}

TEST(CVersionPair, TextIsDecimalWithoutLeadingZeros)
{
    EXPECT_EQ(CVersionPair(0xFFFFFFFFu).GetText(), "65535.65535");
    EXPECT_EQ(CFileVersion(CVersionPair(1, 0), CVersionPair(0, 6)).GetText(), "1.0.0.6");
    EXPECT_EQ(CVersionPair((10u << 16) | 2u).GetText(), "10.2");
}

TEST(CDllVersion, AsksTheLibraryAndShowsThreeNumbers)
{
    CDllVersion version;
    ASSERT_TRUE(version.ReadFromLibrary(TEST_VERSION_LIBRARY));
    EXPECT_EQ(version.GetText(), "1.0.9");
    EXPECT_EQ(version.GetPlatform(), 1u);

    CTempDir dir;
    WriteFileText(dir.File("fake.so"), "not a library");
    CDllVersion missing;
    EXPECT_FALSE(missing.ReadFromLibrary(dir.File("fake.so")));
    EXPECT_FALSE(missing.ReadFromLibrary(dir.File("absent.so")));
    EXPECT_FALSE(missing.ReadFromLibrary(""));
    EXPECT_FALSE(missing.ReadFromLibrary("libc.so.6"));  // loads, but has no DllGetVersion
}
