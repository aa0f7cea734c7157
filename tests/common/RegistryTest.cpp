#include "Registry.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "RegistryFile.h"
#include "Settings.h"
#include "SystemCalls.h"
#include "support/SwappedCall.h"
#include "support/TestSupport.h"

TEST(Registry, ReadsDefaultsForMissingEmptyAndOverlongValues)
{
    CTestRegistry registry;
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kMainKey, "Missing", "dflt"), "dflt");
    registry.Set("Empty", "");
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kMainKey, "Empty", "dflt"), "dflt");
    registry.Set("Long259", std::string(259, 'x'));
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kMainKey, "Long259", "dflt"), std::string(259, 'x'));
    registry.Set("Long260", std::string(260, 'x'));
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kMainKey, "Long260", "dflt"), "dflt");
    EXPECT_EQ(RegReadString(HKEY_CLASSES_ROOT, "CLSID\\{X}", "", "none"), "none");
}

TEST(Registry, WritesNothingIntoAMissingKeyOrFile)
{
    {
        CTestRegistry registry(false);
        EXPECT_FALSE(RegWriteString(HKEY_LOCAL_MACHINE, kMainKey, "FirewallHost", "proxy"));
        EXPECT_FALSE(std::filesystem::exists(registry.Path()));
        EXPECT_EQ(GetFirewallHost(), "");
    }
    {
        CTestRegistry registry;
        RegDeleteKey(HKEY_LOCAL_MACHINE, kUserKey);
        std::string before = ReadFileText(registry.Path());
        SetEmail("ada@example.org");
        EXPECT_EQ(ReadFileText(registry.Path()), before);
        EXPECT_EQ(GetEmail(), "");
    }
}

TEST(Registry, FileIsPrivateAndKeepsTheUsersLines)
{
    CTestRegistry registry;
    // A folder the file already lives in keeps its permissions; only the file is private.
    std::filesystem::permissions(std::filesystem::path(registry.Path()).parent_path(), std::filesystem::perms(0755));
    std::filesystem::remove(registry.Path());
    ASSERT_TRUE(RegCreateKey(HKEY_LOCAL_MACHINE, kMainKey));
    struct stat folder{};
    ASSERT_EQ(stat(std::filesystem::path(registry.Path()).parent_path().c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0755u);
    ASSERT_TRUE(RegCreateKey(HKEY_LOCAL_MACHINE, kUserKey));
    std::string text = ReadFileText(registry.Path());
    WriteFileText(registry.Path(), "; kept\n" + text + "\"Other\"=hex:01,02\n");
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kMainKey, "FirewallPassword", "s3cr\"et\\"));
    struct stat st{};
    ASSERT_EQ(stat(registry.Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(GetFirewallPassword(), "s3cr\"et\\");
    std::string after = ReadFileText(registry.Path());
    EXPECT_NE(after.find("; kept\n"), std::string::npos);
    EXPECT_NE(after.find("\"Other\"=hex:01,02"), std::string::npos);
}

TEST(Registry, ConcurrentWritersLoseNothing)
{
    CTestRegistry registry;
    constexpr int kWriters = 4;
    constexpr int kValuesEach = 25;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int i = 0; i < kValuesEach; ++i)
                ok = RegWriteString(HKEY_LOCAL_MACHINE, kMainKey, "W" + std::to_string(w) + "_" + std::to_string(i),
                                    std::to_string(w * 1000 + i)) && ok;
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    // A reader meanwhile always sees a whole file.
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kMainKey, "Data", ""), registry.DataDir());
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int w = 0; w < kWriters; ++w)
        for (int i = 0; i < kValuesEach; ++i)
            EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kMainKey, "W" + std::to_string(w) + "_" + std::to_string(i), ""),
                      std::to_string(w * 1000 + i));
}

TEST(Registry, FailedWriteLeavesTheOldFile)
{
    CTestRegistry registry;
    registry.Set("FirewallHost", "old");
    std::string before = ReadFileText(registry.Path());
    {
        CSwappedCall failing(sys::Calls().fsync, [](int) { errno = EIO; return -1; });
        EXPECT_FALSE(RegWriteString(HKEY_LOCAL_MACHINE, kMainKey, "FirewallHost", "new"));
    }
    EXPECT_EQ(ReadFileText(registry.Path()), before);
    EXPECT_EQ(GetFirewallHost(), "old");
    // No temporary file is left behind.
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(registry.Path()).parent_path()))
        files += entry.path().filename().string().rfind("registry.reg.", 0) == 0 &&
                 entry.path().extension() != ".lock";
    EXPECT_EQ(files, 0u);
}

TEST(Registry, UnreadableFileIsNeverReplaced)
{
    CTestRegistry registry;
    // A directory where the file should be reads as empty and is not overwritten.
    std::filesystem::remove(registry.Path());
    std::filesystem::create_directory(registry.Path());
    EXPECT_EQ(GetDistributionPath(), "/public");
    EXPECT_FALSE(RegCreateKey(HKEY_LOCAL_MACHINE, kMainKey));
    EXPECT_TRUE(std::filesystem::is_directory(registry.Path()));
}

TEST(Registry, WritesGoThroughASymbolicLinkToItsTarget)
{
    CTestRegistry registry;
    CTempDir elsewhere;
    const std::string target = elsewhere.File("kept-in-dotfiles.reg");
    std::filesystem::rename(registry.Path(), target);
    std::filesystem::create_symlink(std::filesystem::relative(target, elsewhere.Path()),
                                    elsewhere.File("link.reg"));
    std::filesystem::create_symlink(elsewhere.File("link.reg"), registry.Path());  // a chain of two
    SetFirewallHost("proxy.example.org");
    EXPECT_TRUE(std::filesystem::is_symlink(registry.Path()));
    EXPECT_EQ(GetFirewallHost(), "proxy.example.org");
    EXPECT_NE(ReadFileText(target).find("\"FirewallHost\"=\"proxy.example.org\""), std::string::npos);
}

TEST(Registry, TheToolRefusesAFileItCannotUse)
{
    CTestRegistry registry;
    auto run = [&](const std::string& arguments) {
        std::string command = std::string(REGISTRY_TOOL) + " " + arguments + " 2>'" + registry.Path() + ".err'";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("set 'Software\\Corvane\\Vantrel' Key 5"), 0);
    EXPECT_EQ(GetClientKey(), "5");

    std::filesystem::remove(registry.Path());
    std::filesystem::create_directory(registry.Path());
    EXPECT_EQ(run("get 'Software\\Corvane\\Vantrel' Key"), 1);
    EXPECT_EQ(ReadFileText(registry.Path() + ".err"), "corvane-registry: " + registry.Path() + " is a folder, not a file\n");

    std::filesystem::remove(registry.Path());
    WriteFileText(registry.Path(), std::string(17 * 1024 * 1024, ';'));
    EXPECT_EQ(run("init"), 1);
    EXPECT_EQ(ReadFileText(registry.Path() + ".err"), "corvane-registry: " + registry.Path() + " is larger than 16 MiB\n");
}
