#include "ScanProgressDlg.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "Messages.h"
#include "ScriptedLookupServer.h"
#include "support/HeadlessModalRunner.h"
#include "support/TestArchives.h"
#include "support/TestSupport.h"

namespace
{
class CScanProgressDlgTest : public ::testing::Test
{
protected:
    CScanProgressDlgTest()
    {
        m_registry.Set("ComponentDatabase", "127.0.0.1:" + std::to_string(m_lookup.Port()));
        m_registry.Set("ComponentWebServer", "http://127.0.0.1:1");
    }

    std::string ClassDirectory(int classes)
    {
        std::string dir = m_files.File("classes");
        std::filesystem::create_directories(dir);
        for (int i = 0; i < classes; ++i)
            WriteFileText(dir + "/C" + std::to_string(i) + ".class", ClassFileBytes("C" + std::to_string(i)));
        return dir;
    }

    std::string IndexPath() const { return m_registry.DataDir() + "/Local/components.xml"; }

    CTestRegistry m_registry;
    CTempDir m_files;
    CScriptedLookupServer m_lookup;
    CPrefixCache m_cache;
};
}  // namespace

TEST_F(CScanProgressDlgTest, FinishedScanEndsTheDialogWithOne)
{
    CScanProgressDlg dialog(ClassDirectory(3), true, m_cache);
    EXPECT_EQ(dialog.GetView().caption, "Scanning ...");
    EXPECT_EQ(dialog.GetView().text, "Scanning...");

    CHeadlessModalRunner runner(std::chrono::seconds(30));
    EXPECT_EQ(runner.RunModal(dialog), IDOK);
    dialog.EndScan();

    EXPECT_EQ(dialog.GetView().rangeLow, 0);
    EXPECT_EQ(dialog.GetView().rangeHigh, 3);
    EXPECT_EQ(dialog.GetStepCount(), 4);  // one step per name and the last, empty one
    EXPECT_EQ(dialog.GetScan().GetNames().size(), 3u);
    EXPECT_NE(ReadFileText(IndexPath()).find("<components/>"), std::string::npos);
}

TEST_F(CScanProgressDlgTest, CancelEndsWithOneAndWritesNothing)
{
    const std::string old = "<components><component/></components>\n";
    WriteFileText(IndexPath(), old);
    CScanProgressDlg dialog(ClassDirectory(300), true, m_cache);
    CHeadlessModalRunner runner(std::chrono::seconds(30));
    runner.CancelAfterMessages(3);
    EXPECT_EQ(runner.RunModal(dialog), IDOK);
    dialog.EndScan();

    EXPECT_FALSE(dialog.GetScan().IsRunning());
    EXPECT_EQ(dialog.GetScan().GetStatus(), -1);
    EXPECT_LT(m_lookup.Requests().size(), 300u);
    EXPECT_EQ(ReadFileText(IndexPath()), old);
}

TEST_F(CScanProgressDlgTest, ProgressBarFollowsTheMessages)
{
    CScanProgressDlg dialog("", true, m_cache);
    // More names than a 16-bit range holds.
    dialog.OnMessage(WM_SCAN_STARTED, 1, 70000);
    EXPECT_EQ(dialog.GetView().rangeHigh, 70000);
    for (int i = 0; i < 3; ++i)
        dialog.OnMessage(WM_SCAN_PROGRESS, 1, 0);
    EXPECT_EQ(dialog.GetView().position, 3);
    dialog.OnMessage(WM_SCAN_STARTED, 1, 10);
    EXPECT_EQ(dialog.GetStepCount(), 0);
    EXPECT_EQ(dialog.GetView().position, 0);
    EXPECT_FALSE(dialog.HasEnded());
    dialog.OnMessage(WM_SCAN_FINISHED, 1, 0);
    EXPECT_TRUE(dialog.HasEnded());
    EXPECT_EQ(dialog.GetResult(), IDOK);
}
