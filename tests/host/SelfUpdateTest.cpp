#include "SelfUpdate.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <set>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "HttpClient.h"
#include "PendingRenames.h"
#include "Settings.h"
#include "support/HeadlessModalRunner.h"
#include "support/RecordingHttpServer.h"
#include "support/TestSupport.h"

namespace
{
// The distribution and component servers on one loopback port.
class SelfUpdateFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.Server().Get("/Vantrel/ui/clientid.jsp", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(m_mutex);
            m_clientIdTarget = req.target;
            res.set_content(m_clientIdAnswer, "text/plain");
        });
        auto file = [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(m_mutex);
            std::string name = req.path.substr(std::string("/public/").size());
            auto it = m_stamps.find(name);
            if (it == m_stamps.end()) {
                res.status = 404;
                return;
            }
            res.set_header("Last-Modified", it->second);
            if (req.method == "GET" && m_failing.count(name)) {
                res.status = 500;
                return;
            }
            res.set_content("content of " + name + " " + it->second, "application/octet-stream");
        };
        m_server.Server().Get(R"(/public/[^/]+)", file);
        m_server.Start();
        std::string host = "127.0.0.1:" + std::to_string(m_server.Port());
        m_registry.Set("ComponentUrl", host);
        m_registry.Set("DistributionServer", host);
        m_registry.Set("Path", m_install.Path());
        // Every file as fetched before: stamps equal to what the server says.
        for (const char* name : CSelfUpdate::kUpdateFiles) {
            m_stamps[name] = "Mon, 01 Jun 2026 10:00:00 GMT";
            WriteFileText(m_install.File(name), std::string("installed ") + name);
            WriteFileText(CHttpClient::TimeStampFileName(m_install.File(name) + "_new"), m_stamps[name]);
        }
    }

    void Change(const std::string& name)
    {
        std::lock_guard lock(m_mutex);
        m_stamps[name] = "Tue, 02 Jun 2026 10:00:00 GMT";
    }
    std::string Installed(const std::string& name) const { return ReadFileText(m_install.File(name)); }

    bool Update(std::vector<int> answers = {})
    {
        for (int answer : answers)
            m_prompt.Answer(answer);
        CSelfUpdate update(m_runner, m_prompt);
        bool restart = false;
        update.UpdateComponents(restart);
        return restart;
    }

    CTestRegistry m_registry;
    CTempDir m_install;
    CRecordingHttpServer m_server;
    CHeadlessModalRunner m_runner{std::chrono::seconds(30)};
    CScriptedPrompt m_prompt;
    std::mutex m_mutex;
    std::map<std::string, std::string> m_stamps;
    std::set<std::string> m_failing;
    std::string m_clientIdAnswer = "4711\r\nignored\r\n";  // CR LF lines: the id keeps no CR
    std::string m_clientIdTarget;
};

const char* const kQuestion =
    "Corvane Component Manager has been updated. Do you wish to download updated components now?";
}  // namespace

TEST_F(SelfUpdateFixture, FirstRunRegistersWithClientIdZero)
{
    SetEmail("ada&bob@example.org x");
    CSelfUpdate update(m_runner, m_prompt);
    ASSERT_TRUE(update.RegisterClient());
    // The product version, not the file version; values as stored ("&" unencoded, the blank
    // encoded on the wire only).
    EXPECT_EQ(m_clientIdTarget,
              "/Vantrel/ui/clientid.jsp?exeversion=1.0.0.0&clientid=0&email=ada&bob@example.org%20x");
    EXPECT_EQ(GetClientKey(), "4711");
    EXPECT_FALSE(std::filesystem::exists(m_install.File("key.txt")));

    ASSERT_TRUE(update.RegisterClient());
    EXPECT_NE(m_clientIdTarget.find("&clientid=4711&"), std::string::npos);

    m_clientIdAnswer = "\nsecond line";  // an empty first line stores an empty Key
    ASSERT_TRUE(update.RegisterClient());
    EXPECT_EQ(GetClientKey(), "0");
}

TEST_F(SelfUpdateFixture, FailedRegistrationKeepsTheKey)
{
    SetClientKey("99");
    m_registry.Set("ComponentUrl", "127.0.0.1:1");
    CSelfUpdate update(m_runner, m_prompt);
    EXPECT_FALSE(update.RegisterClient());
    EXPECT_EQ(GetClientKey(), "99");
}

TEST_F(SelfUpdateFixture, UnchangedChangesFileAsksAndFetchesNothing)
{
    Change("libtarnelctrl.so");  // not even looked at
    EXPECT_FALSE(Update());
    EXPECT_TRUE(m_prompt.Shown().empty());
    EXPECT_EQ(m_server.RequestLine(), "HEAD /public/changes.txt");
    EXPECT_EQ(Installed("libtarnelctrl.so"), "installed libtarnelctrl.so");
}

TEST_F(SelfUpdateFixture, DeclinedUpdateAsksAgainNextTime)
{
    Change("changes.txt");
    EXPECT_FALSE(Update({IDNO}));
    EXPECT_FALSE(Update({IDNO}));
    ASSERT_EQ(m_prompt.Shown().size(), 2u);
    EXPECT_EQ(m_prompt.Shown()[0].text, kQuestion);
    EXPECT_EQ(m_prompt.Shown()[0].caption, "Corvane Component Manager");
    EXPECT_EQ(m_prompt.Shown()[0].type, MB_YESNO);
    EXPECT_EQ(m_server.RequestLine(), "HEAD /public/changes.txt, HEAD /public/changes.txt");
}

TEST_F(SelfUpdateFixture, ProgramChangedIsScheduledForTheNextStart)
{
    Change("changes.txt");
    Change("tarnel");
    EXPECT_TRUE(Update({IDYES}));
    EXPECT_EQ(m_prompt.Shown().size(), 1u);  // one question for the whole update
    EXPECT_EQ(m_server.RequestLine(),
              "HEAD /public/changes.txt, GET /public/changes.txt, HEAD /public/libtarnelctrl.so, "
              "HEAD /public/tarnel, GET /public/tarnel, HEAD /public/libtarnelvc.so, HEAD /public/tarnellauncher.jar");
    EXPECT_EQ(Installed("changes.txt"), "content of changes.txt Tue, 02 Jun 2026 10:00:00 GMT");
    EXPECT_EQ(Installed("tarnel"), "installed tarnel");  // still running: replaced at the next start
    CPendingRenames renames = CPendingRenames::ForInstallation(m_install.Path());
    ASSERT_EQ(renames.Entries().size(), 1u);
    EXPECT_EQ(renames.ApplyAll(), 1);
    EXPECT_EQ(Installed("tarnel"), "content of tarnel Tue, 02 Jun 2026 10:00:00 GMT");
}

TEST_F(SelfUpdateFixture, LauncherChangedAlsoAsksForARestart)
{
    Change("changes.txt");
    Change("tarnellauncher.jar");
    EXPECT_TRUE(Update({IDYES}));
}

TEST_F(SelfUpdateFixture, ControlLibraryIsReplacedAtOnce)
{
    Change("changes.txt");
    Change("libtarnelctrl.so");
    EXPECT_FALSE(Update({IDYES}));
    EXPECT_EQ(Installed("libtarnelctrl.so"), "content of libtarnelctrl.so Tue, 02 Jun 2026 10:00:00 GMT");
    EXPECT_FALSE(std::filesystem::exists(m_install.File("libtarnelctrl.so_new")));
    EXPECT_TRUE(CPendingRenames::ForInstallation(m_install.Path()).Entries().empty());
    // The next start finds nothing new.
    EXPECT_FALSE(Update());
    EXPECT_EQ(m_prompt.Shown().size(), 1u);
}

TEST_F(SelfUpdateFixture, FailedDownloadStopsTheList)
{
    Change("changes.txt");
    Change("libtarnelctrl.so");
    Change("tarnel");
    m_failing.insert("libtarnelctrl.so");
    EXPECT_FALSE(Update({IDYES}));
    ASSERT_EQ(m_prompt.Shown().size(), 2u);
    EXPECT_EQ(m_prompt.Shown()[1].text, "An error occured downloading new DLL, preserving original one.");
    EXPECT_EQ(m_prompt.Shown()[1].type, MB_OK);
    EXPECT_EQ(Installed("libtarnelctrl.so"), "installed libtarnelctrl.so");
    EXPECT_FALSE(std::filesystem::exists(m_install.File("libtarnelctrl.so_new")));
    // The remaining files are not looked at in this run.
    EXPECT_EQ(m_server.RequestLine().find("/public/tarnel,"), std::string::npos);
    EXPECT_EQ(m_server.RequestLine().rfind("GET /public/libtarnelctrl.so"),
              m_server.RequestLine().size() - std::string("GET /public/libtarnelctrl.so").size());
}

TEST_F(SelfUpdateFixture, AReplacementThatCannotBeScheduledIsOfferedAgain)
{
    Change("changes.txt");
    Change("tarnel");
    // The list of pending replacements cannot be written where a folder stands.
    std::filesystem::create_directory(m_install.File("pending-renames.txt"));
    EXPECT_FALSE(Update({IDYES}));
    ASSERT_EQ(m_prompt.Shown().size(), 2u);
    EXPECT_EQ(m_prompt.Shown()[1].text, "An error occured downloading new DLL, preserving original one.");
    EXPECT_FALSE(std::filesystem::exists(m_install.File("tarnel_new")));
    EXPECT_EQ(Installed("tarnel"), "installed tarnel");

    std::filesystem::remove(m_install.File("pending-renames.txt"));
    EXPECT_TRUE(Update({IDYES}));
    ASSERT_EQ(m_prompt.Shown().size(), 3u);
    EXPECT_EQ(m_prompt.Shown()[2].text, kQuestion);
    EXPECT_EQ(CPendingRenames::ForInstallation(m_install.Path()).ApplyAll(), 1);
    EXPECT_EQ(Installed("tarnel"), "content of tarnel Tue, 02 Jun 2026 10:00:00 GMT");
}

TEST_F(SelfUpdateFixture, ReplacementsTakeTheModeOfTheFilesTheyReplace)
{
    const struct
    {
        const char* name;
        int installed;  // -1: new to the installation
        int expected;
    } cases[] = {
        {"changes.txt", 0600, 0600},
        {"libtarnelctrl.so", 0755, 0755},  // replaced at once
        {"tarnel", 0700, 0700},
        {"libtarnelvc.so", -1, 0750},  // a library: executable, as far as the umask allows
        {"tarnellauncher.jar", -1, 0640},
    };
    for (const auto& c : cases) {
        Change(c.name);
        if (c.installed < 0)
            std::filesystem::remove(m_install.File(c.name));
        else
            std::filesystem::permissions(m_install.File(c.name), static_cast<std::filesystem::perms>(c.installed));
    }
    const mode_t previous = ::umask(027);
    const bool restart = Update({IDYES});
    ::umask(previous);
    EXPECT_TRUE(restart);
    auto mode = [this](const std::string& name) {
        return static_cast<int>(std::filesystem::status(m_install.File(name)).permissions() &
                                std::filesystem::perms::mask);
    };
    EXPECT_EQ(mode("tarnel_new"), 0700);  // ready before the next start moves it
    EXPECT_EQ(CPendingRenames::ForInstallation(m_install.Path()).ApplyAll(), 3);
    for (const auto& c : cases)
        EXPECT_EQ(mode(c.name), c.expected) << c.name;
}
