#include "PendingRenames.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

TEST(CPendingRenames, AppliedAtTheNextStart)
{
    CTempDir dir;
    WriteFileText(dir.File("tarnel"), "old");
    WriteFileText(dir.File("tarnel_new"), "new");
    WriteFileText(dir.File("libtarnelvc.so_new"), "vc");
    {
        CPendingRenames renames = CPendingRenames::ForInstallation(dir.Path());
        ASSERT_TRUE(renames.Schedule(dir.File("tarnel_new"), dir.File("tarnel")));
        ASSERT_TRUE(renames.Schedule(dir.File("gone_new"), dir.File("gone")));
        ASSERT_TRUE(renames.Schedule(dir.File("libtarnelvc.so_new"), dir.File("libtarnelvc.so")));
        ASSERT_TRUE(renames.Schedule(dir.File("tarnel_new"), dir.File("tarnel")));  // once per target
        EXPECT_EQ(renames.Entries().size(), 3u);
        EXPECT_EQ(ReadFileText(dir.File("tarnel")), "old");  // nothing moves before the next start
    }
    CPendingRenames next = CPendingRenames::ForInstallation(dir.Path());
    EXPECT_EQ(next.ApplyAll(), 2);
    EXPECT_EQ(ReadFileText(dir.File("tarnel")), "new");
    EXPECT_EQ(ReadFileText(dir.File("libtarnelvc.so")), "vc");
    // The vanished source is dropped, not retried; the list is gone.
    EXPECT_TRUE(next.Entries().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("pending-renames.txt")));
    EXPECT_EQ(next.ApplyAll(), 0);
}

TEST(CPendingRenames, FailedMovesStayAndTornListsAreRead)
{
    CTempDir dir;
    WriteFileText(dir.File("a_new"), "a");
    std::filesystem::create_directory(dir.File("blocked"));
    WriteFileText(dir.File("blocked/inside"), "x");  // a non-empty directory cannot be replaced
    WriteFileText(dir.File("pending-renames.txt"),
                  dir.File("a_new") + "\t" + dir.File("a") + "\n" + dir.File("a_new") + "\t" + dir.File("blocked") +
                      "\n" + "torn line without tab\n\t\n" + dir.File("x"));
    CPendingRenames renames = CPendingRenames::ForInstallation(dir.Path());
    ASSERT_EQ(renames.Entries().size(), 2u);
    EXPECT_EQ(renames.ApplyAll(), 1);
    EXPECT_EQ(ReadFileText(dir.File("a")), "a");
    // The second entry's source moved away with the first: dropped as vanished.
    EXPECT_TRUE(renames.Entries().empty());

    WriteFileText(dir.File("b_new"), "b");
    ASSERT_TRUE(renames.Schedule(dir.File("b_new"), dir.File("blocked")));
    EXPECT_EQ(renames.ApplyAll(), 0);
    EXPECT_EQ(renames.Entries().size(), 1u);  // kept for the next start
    EXPECT_FALSE(renames.Schedule(dir.File("tab\there"), dir.File("x")));
}
