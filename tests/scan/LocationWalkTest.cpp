#include "LocationWalk.h"

#include <atomic>
#include <filesystem>

#include <gtest/gtest.h>

#include "support/TestArchives.h"
#include "support/TestSupport.h"

using Strings = std::vector<std::string>;

namespace
{
class LocationWalkTest : public ::testing::Test
{
protected:
    std::string Dir(const std::string& name)
    {
        std::filesystem::create_directories(m_files.File(name));
        return m_files.File(name);
    }
    void Class(const std::string& path, const std::string& internalName)
    {
        WriteFileText(m_files.File(path), ClassFileBytes(internalName));
    }

    CTempDir m_files;
};
}  // namespace

TEST_F(LocationWalkTest, ClassTreesAreNamedByTheirClassesAndArchivesFound)
{
    Dir("project/target/classes/com/acme/util");
    Class("project/target/classes/com/acme/util/Parser.class", "com/acme/util/Parser");
    Class("project/target/classes/com/acme/util/Parser$Node.class", "com/acme/util/Parser$Node");
    // Renamed, or standing where its package does not say: the file's own folder is the root.
    Class("project/target/classes/com/acme/Renamed.class", "com/acme/util/Lexer");
    WriteFileText(m_files.File("project/target/classes/com/acme/notes.class"), "not a class file");
    WriteFileText(m_files.File("project/target/classes/Cut.class"), ClassFileBytes("Cut").substr(0, 20));
    // Module and package descriptors are not classes.
    Class("project/target/classes/module-info.class", "module-info");
    Class("project/target/classes/com/acme/util/package-info.class", "com/acme/util/package-info");
    Dir("project/lib/deeper");
    MakeArchive(m_files.File("project/lib/a.jar"), Strings{"com/acme/A.class"});
    MakeArchive(m_files.File("project/lib/deeper/b.WAR"), Strings{"com/acme/B.class"});
    WriteFileText(m_files.File("project/lib/readme.txt"), "");
    // Links back up the tree are not followed round and round.
    std::filesystem::create_directory_symlink("../..", m_files.File("project/lib/deeper/up"));

    for (bool findArchives : {true, false}) {
        CLocationWalk walk(findArchives, [] { return false; });
        walk.Walk(m_files.File("project"));
        walk.Walk(m_files.File("gone"));
        std::map<std::string, Strings> trees{
            {m_files.File("project/target/classes"), {"com.acme.util.Parser", "com.acme.util.Parser"}},
            {m_files.File("project/target/classes/com/acme"), {"com.acme.util.Lexer"}},
        };
        EXPECT_EQ(walk.GetTrees(), trees);
        const Strings archives{m_files.File("project/lib/a.jar"), m_files.File("project/lib/deeper/b.WAR")};
        EXPECT_EQ(walk.GetArchives(), findArchives ? archives : Strings());
    }
    // An archive named as a location is taken as it is.
    CLocationWalk archive(true, [] { return false; });
    archive.Walk(m_files.File("project/lib/a.jar"));
    EXPECT_EQ(archive.GetArchives(), Strings{m_files.File("project/lib/a.jar")});
}

TEST_F(LocationWalkTest, CancelStopsTheWalk)
{
    for (int i = 0; i < 200; ++i) {
        Dir("tree/d" + std::to_string(i));
        Class("tree/d" + std::to_string(i) + "/C.class", "C" + std::to_string(i));
    }
    std::atomic<int> asked{0};
    CLocationWalk walk(true, [&asked] { return ++asked > 50; });
    walk.Walk(m_files.File("tree"));
    size_t found = 0;
    for (const auto& [root, names] : walk.GetTrees())
        found += names.size();
    EXPECT_LT(found, 200u);
    EXPECT_LT(asked.load(), 60);
}
