// Registration and update against vantrel-server's own client ids and distribution files.
#include <filesystem>
#include <regex>
#include <thread>

#include <QDBusConnection>

#include <gtest/gtest.h>

#include "PendingRenames.h"
#include "SelfUpdate.h"
#include "Settings.h"
#include "VantrelApp.h"
#include "support/HeadlessModalRunner.h"
#include "support/TestSite.h"
#include "support/TestSupport.h"

namespace
{
const char* const kQuestion =
    "Corvane Component Manager has been updated. Do you wish to download updated components now?";
const char* const kRestart = "Please restart Corvane Component Manager after it exits.";

class ReferenceServerUpdateFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name : CSelfUpdate::kUpdateFiles) {
            Publish(name, std::string("release 1 of ") + name);
            WriteFileText(m_install.File(name), std::string("installed ") + name);
        }
        m_server = std::make_unique<CRunningServer>(m_site.Root());
        std::string host = "127.0.0.1:" + std::to_string(m_server->HttpPort());
        m_registry.Set("ComponentUrl", host);
        m_registry.Set("DistributionServer", host);
        m_registry.Set("Path", m_install.Path());
    }

    // A new release of a file on the server: new content, a later modification time.
    void Publish(const std::string& name, const std::string& content)
    {
        m_site.Write("public/" + name, content);
        auto time = std::filesystem::file_time_type::clock::now() + std::chrono::minutes(++m_releases);
        std::filesystem::last_write_time(m_site.Path("public/" + name), time);
    }

    // Registration, update and the restart message, as a start of the program runs them.
    bool StartGoesOn()
    {
        CVantrelApp app("", m_prompt, m_runner, QDBusConnection(QStringLiteral("no bus")));
        app.RegisterAndUpdate();
        return app.GetContinue();
    }

    // "GET /path" for every request since the last call, from the server's access log, which
    // the server writes after it has answered: read once it has stayed the same for a while.
    std::vector<std::string> NewRequests()
    {
        std::vector<std::string> requests;
        std::string log = ReadFileText(m_server->AccessLog());
        for (int quiet = 0; quiet < 10;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::string again = ReadFileText(m_server->AccessLog());
            quiet = again == log ? quiet + 1 : 0;
            log = std::move(again);
        }
        static const std::regex line(R"re("(\w+) ([^ ?]+)[^"]*")re");
        for (auto it = std::sregex_iterator(log.begin() + static_cast<long>(m_logSeen), log.end(), line);
             it != std::sregex_iterator(); ++it)
            requests.push_back((*it)[1].str() + " " + (*it)[2].str());
        m_logSeen = log.size();
        return requests;
    }

    std::vector<std::string> Shown()
    {
        std::vector<std::string> texts;
        for (const auto& shown : m_prompt.Shown())
            texts.push_back(shown.text);
        return texts;
    }

    std::string Installed(const std::string& name) const { return ReadFileText(m_install.File(name)); }

    CTestRegistry m_registry;
    CTestSite m_site;
    CTempDir m_install;
    std::unique_ptr<CRunningServer> m_server;
    CHeadlessModalRunner m_runner{std::chrono::seconds(30)};
    CScriptedPrompt m_prompt;
    int m_releases = 0;
    size_t m_logSeen = 0;
};
}  // namespace

TEST_F(ReferenceServerUpdateFixture, FirstStartTakesTheClientIdAndEveryFile)
{
    m_prompt.Answer(IDYES);
    EXPECT_FALSE(StartGoesOn());
    std::string key = GetClientKey();
    EXPECT_TRUE(key != "0" && !key.empty()) << key;
    EXPECT_EQ(NewRequests(), (std::vector<std::string>{
                                 "GET /Vantrel/ui/clientid.jsp",
                                 "HEAD /public/changes.txt", "GET /public/changes.txt",
                                 "HEAD /public/libtarnelctrl.so", "GET /public/libtarnelctrl.so",
                                 "HEAD /public/tarnel", "GET /public/tarnel",
                                 "HEAD /public/libtarnelvc.so", "GET /public/libtarnelvc.so",
                                 "HEAD /public/tarnellauncher.jar", "GET /public/tarnellauncher.jar",
                             }));
    EXPECT_EQ(Shown(), (std::vector<std::string>{kQuestion, kRestart}));
    EXPECT_EQ(Installed("changes.txt"), "release 1 of changes.txt");
    EXPECT_EQ(Installed("libtarnelctrl.so"), "release 1 of libtarnelctrl.so");
    EXPECT_EQ(Installed("tarnel"), "installed tarnel");
    EXPECT_EQ(CPendingRenames::ForInstallation(m_install.Path()).ApplyAll(), 3);
    EXPECT_EQ(Installed("tarnel"), "release 1 of tarnel");

    // The next start sends the id it was given and keeps it.
    EXPECT_TRUE(StartGoesOn());
    EXPECT_EQ(GetClientKey(), key);
}

TEST_F(ReferenceServerUpdateFixture, LaterStartsFetchOnlyWhatChanged)
{
    m_prompt.Answer(IDYES);
    StartGoesOn();
    CPendingRenames::ForInstallation(m_install.Path()).ApplyAll();
    NewRequests();

    // Unchanged "changes.txt": no question and nothing else looked at, even a new control.
    Publish("libtarnelctrl.so", "release 2 of libtarnelctrl.so");
    EXPECT_TRUE(StartGoesOn());
    EXPECT_EQ(NewRequests(), (std::vector<std::string>{"GET /Vantrel/ui/clientid.jsp", "HEAD /public/changes.txt"}));
    EXPECT_EQ(Shown().size(), 2u);
    EXPECT_EQ(Installed("libtarnelctrl.so"), "release 1 of libtarnelctrl.so");

    // With "changes.txt": the control goes in at once and the program goes on.
    Publish("changes.txt", "release 2 of changes.txt");
    m_prompt.Answer(IDYES);
    EXPECT_TRUE(StartGoesOn());
    EXPECT_EQ(Installed("libtarnelctrl.so"), "release 2 of libtarnelctrl.so");
    EXPECT_TRUE(CPendingRenames::ForInstallation(m_install.Path()).Entries().empty());
    EXPECT_EQ(Shown().size(), 3u);
    NewRequests();

    // Only the program changed: it waits for the next start and the user is told to restart.
    Publish("changes.txt", "release 3 of changes.txt");
    Publish("tarnel", "release 3 of tarnel");
    m_prompt.Answer(IDYES);
    EXPECT_FALSE(StartGoesOn());
    EXPECT_EQ(NewRequests(), (std::vector<std::string>{
                                 "GET /Vantrel/ui/clientid.jsp", "HEAD /public/changes.txt", "GET /public/changes.txt",
                                 "HEAD /public/libtarnelctrl.so", "HEAD /public/tarnel", "GET /public/tarnel",
                                 "HEAD /public/libtarnelvc.so", "HEAD /public/tarnellauncher.jar",
                             }));
    EXPECT_EQ(Shown(), (std::vector<std::string>{kQuestion, kRestart, kQuestion, kQuestion, kRestart}));
    EXPECT_EQ(Installed("tarnel"), "release 1 of tarnel");
    EXPECT_EQ(CPendingRenames::ForInstallation(m_install.Path()).ApplyAll(), 1);
    EXPECT_EQ(Installed("tarnel"), "release 3 of tarnel");
}
