#include "AutomationRegistration.h"

#include <filesystem>
#include <tuple>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "Registry.h"
#include "support/TestSupport.h"

namespace
{
// Which file stands at path: a rewrite puts a new one there (inode numbers alone may be reused).
std::tuple<ino_t, long, long> FileIdentity(const std::string& path)
{
    struct stat info{};
    if (::stat(path.c_str(), &info) != 0)
        return {};
    return {info.st_ino, info.st_ctim.tv_sec, info.st_ctim.tv_nsec};
}

std::string ClassesRoot(const std::string& key)
{
    return RegReadString(HKEY_CLASSES_ROOT, key, "", "<missing>");
}
}  // namespace

TEST(CAutomationRegistration, WritesTheClassEntriesAndTheActivationFile)
{
    CTestRegistry registry(false);  // an empty file: the entries create their keys
    CTempDir data;
    CScopedEnvironment xdg("XDG_DATA_HOME", data.Path());
    ASSERT_TRUE(CAutomationRegistration::Write("/opt/corvane/tarnel"));

    const std::string classKey = "CLSID\\{5DB69F54-1073-11D4-A233-0060B0EE16F3}";
    EXPECT_EQ(ClassesRoot("Vantrel.Application"), "Vantrel.Application");
    EXPECT_EQ(ClassesRoot("Vantrel.Application\\CLSID"), "{5DB69F54-1073-11D4-A233-0060B0EE16F3}");
    EXPECT_EQ(ClassesRoot(classKey), "Vantrel.Application");
    EXPECT_EQ(ClassesRoot(classKey + "\\ProgID"), "Vantrel.Application");
    EXPECT_EQ(ClassesRoot(classKey + "\\InprocHandler32"), "ole32.dll");
    EXPECT_EQ(ClassesRoot(classKey + "\\LocalServer32"), "/opt/corvane/tarnel");

    EXPECT_EQ(CAutomationRegistration::ServiceFilePath(), data.File("dbus-1/services/Vantrel.Application.service"));
    EXPECT_EQ(ReadFileText(data.File("dbus-1/services/Vantrel.Application.service")),
              "[D-BUS Service]\nName=Vantrel.Application\nExec=/opt/corvane/tarnel -Embedding\n");

    // Written again unchanged, neither file is touched; a start does this every time.
    const auto registryFile = FileIdentity(registry.Path());
    const auto serviceFile = FileIdentity(CAutomationRegistration::ServiceFilePath());
    ASSERT_TRUE(CAutomationRegistration::Write("/opt/corvane/tarnel"));
    EXPECT_EQ(FileIdentity(registry.Path()), registryFile);
    EXPECT_EQ(FileIdentity(CAutomationRegistration::ServiceFilePath()), serviceFile);

    // A second registration from elsewhere replaces both.
    ASSERT_TRUE(CAutomationRegistration::Write("/usr/local/bin/tarnel"));
    EXPECT_EQ(ClassesRoot(classKey + "\\LocalServer32"), "/usr/local/bin/tarnel");
    EXPECT_NE(ReadFileText(CAutomationRegistration::ServiceFilePath()).find("Exec=/usr/local/bin/tarnel -Embedding"),
              std::string::npos);
    EXPECT_NE(FileIdentity(registry.Path()), registryFile);
    EXPECT_NE(FileIdentity(CAutomationRegistration::ServiceFilePath()), serviceFile);
}

TEST(CAutomationRegistration, ExecIsQuotedWhereTheBusWouldSplitIt)
{
    struct
    {
        const char* program;
        const char* exec;
    } const cases[] = {
        {"/usr/bin/tarnel", "/usr/bin/tarnel"},
        {"/home/ada/My Programs/tarnel", "'/home/ada/My Programs/tarnel'"},
        {"/home/ada/it's/tarnel", "'/home/ada/it'\\''s/tarnel'"},
        {"/opt/$HOME/tarnel", "'/opt/$HOME/tarnel'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CAutomationRegistration::ServiceFileText(c.program),
                  std::string("[D-BUS Service]\nName=Vantrel.Application\nExec=") + c.exec + " -Embedding\n")
            << c.program;
}

TEST(CAutomationRegistration, ActivationFileFollowsTheDataHome)
{
    CTempDir home;
    CScopedEnvironment homeVariable("HOME", home.Path());
    {
        CScopedEnvironment xdg("XDG_DATA_HOME", std::nullopt);
        EXPECT_EQ(CAutomationRegistration::ServiceFilePath(),
                  home.File(".local/share/dbus-1/services/Vantrel.Application.service"));
    }
    {
        CScopedEnvironment xdg("XDG_DATA_HOME", "relative/data");  // not absolute: ignored
        EXPECT_EQ(CAutomationRegistration::ServiceFilePath(),
                  home.File(".local/share/dbus-1/services/Vantrel.Application.service"));
    }
    CTestRegistry registry;
    CScopedEnvironment xdg("XDG_DATA_HOME", std::nullopt);
    // A data home that cannot be made: the registry entries are still written.
    WriteFileText(home.File(".local"), "a file where the folder would go");
    EXPECT_FALSE(CAutomationRegistration::Write("/usr/bin/tarnel"));
    EXPECT_EQ(ClassesRoot("Vantrel.Application"), "Vantrel.Application");
    EXPECT_FALSE(std::filesystem::exists(CAutomationRegistration::ServiceFilePath()));
}
