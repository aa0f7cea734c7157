#include "ProgressDialog.h"

#include <cstdlib>
#include <memory>
#include <optional>

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "DownloadDialog.h"
#include "HttpDownload.h"
#include "JavaItemDataManager.h"
#include "JavaSearchThread.h"
#include "MarketSearchThread.h"
#include "QtModalRunner.h"
#include "ScanProgressDlg.h"
#include "SearchProgressDlg.h"
#include "SearchThread.h"
#include "ShellTestSupport.h"
#include "support/TestArchives.h"
#include "support/TestSupport.h"

namespace
{
// What a dialog showed while it ran.
struct CSeen
{
    QString caption;
    QString text;
    bool barVisible = false;
    bool cancelEnabled = false;
    bool topmost = false;
    bool modal = false;
};

CSeen Look(CProgressDialog& dialog)
{
    // For looking at the dialogs: CORVANE_SHOT_DIR names a folder for pictures of them.
    if (const char* shots = std::getenv("CORVANE_SHOT_DIR"))
        dialog.grab().save(QDir(QString::fromLocal8Bit(shots))
                               .filePath(dialog.windowTitle().remove(QLatin1Char('.')).trimmed() + ".png"));
    CSeen seen;
    seen.caption = dialog.windowTitle();
    seen.text = dialog.GetTextLabel()->text();
    seen.barVisible = dialog.GetProgressBar()->isVisible();
    seen.cancelEnabled = dialog.GetCancelButton()->isEnabled();
    seen.topmost = dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    seen.modal = dialog.isModal() && dialog.isVisible();
    return seen;
}

class ProgressDialogTest : public ::testing::Test
{
protected:
    void SetUp() override { m_server.Configure(m_registry); }

    CTestRegistry m_registry;
    CPageTestServer m_server;
    CQtModalRunner m_runner;
};
}  // namespace

TEST_F(ProgressDialogTest, MarketplaceSearchShowsItsTextWithoutABarAndEndsWithOk)
{
    m_server.SetMarketSearchAnswer(R"(<marketsearch><component id="7" name="Grid Pro"/></marketsearch>)");
    std::optional<CSeen> seen;
    m_runner.SetShownHook([&seen](CProgressDialog& dialog) { seen = Look(dialog); });
    CItemList results;
    CSearchProgressDlg core(
        "grid",
        [&results](HWND self) {
            auto search = std::make_unique<CWorker<CMarketSearchThread>>(results);
            search->Setup("grid", "S42", self);
            return search;
        },
        false);
    const int ended = m_runner.RunModal(core);
    core.EndSearch();

    EXPECT_EQ(ended, IDOK);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->caption, "Searching...");
    EXPECT_EQ(seen->text, "Searching for \"grid\"");
    EXPECT_FALSE(seen->barVisible);
    EXPECT_TRUE(seen->cancelEnabled);
    EXPECT_TRUE(seen->topmost);
    EXPECT_TRUE(seen->modal);
    ASSERT_EQ(results.GetCount(), 1u);
    EXPECT_EQ(results.GetAt(0).GetName(), "Grid Pro");
}

TEST_F(ProgressDialogTest, JavaSearchShowsItsBarAndFollowsTheSteps)
{
    m_registry.Set("OfflineMode", "1");
    CJavaItemDataManager manager(m_runner);
    std::optional<CSeen> seen;
    m_runner.SetShownHook([&seen](CProgressDialog& dialog) { seen = Look(dialog); });
    CItemList results;
    CSearchProgressDlg core("Vector", [&](HWND self) {
        auto search = std::make_unique<CWorker<CJavaSearchThread>>(manager, results);
        search->Setup("", "Vector", "", 1, self);
        return search;
    });
    EXPECT_EQ(m_runner.RunModal(core), IDOK);
    core.EndSearch();
    ASSERT_TRUE(seen);
    EXPECT_TRUE(seen->barVisible);
    // Two technologies: a step each and the last, empty one.
    EXPECT_EQ(core.GetStepCount(), 3);
    EXPECT_EQ(core.GetView().rangeHigh, 2);
}

TEST_F(ProgressDialogTest, CancelEndsAtOnceAndTheSearchIsWaitedFor)
{
    m_server.SetDelay(std::chrono::milliseconds(1500));
    QElapsedTimer timer;
    m_runner.SetShownHook([this, &timer](CProgressDialog& dialog) {
        // Cancel while the request is at the server.
        EXPECT_TRUE(WaitFor([this] { return !m_server.TargetsContaining("xmlsearchresults").empty(); }));
        timer.start();
        QTest::mouseClick(dialog.GetCancelButton(), Qt::LeftButton);
    });
    CItemList results;
    CSearchThread* running = nullptr;
    CSearchProgressDlg core(
        "slow",
        [&](HWND self) {
            auto search = std::make_unique<CWorker<CMarketSearchThread>>(results);
            search->Setup("slow", "S42", self);
            running = search.get();
            return search;
        },
        false);
    EXPECT_EQ(m_runner.RunModal(core), IDCANCEL);
    EXPECT_LT(timer.elapsed(), 1000) << "Cancel must not wait for the answer";
    ASSERT_NE(running, nullptr);
    EXPECT_EQ(running->GetStatus(), -1);
    core.EndSearch();
    EXPECT_GE(timer.elapsed(), 1200) << "the search is waited for before its results are read";
}

TEST_F(ProgressDialogTest, ASearchThatCannotStartShowsNoWindow)
{
    bool shown = false;
    m_runner.SetShownHook([&shown](CProgressDialog&) { shown = true; });
    CSearchProgressDlg core("x", [](HWND) { return std::unique_ptr<CSearchThread>(); });
    EXPECT_EQ(m_runner.RunModal(core), IDCANCEL);
    Pump(std::chrono::milliseconds(50));
    EXPECT_FALSE(shown);
}

TEST_F(ProgressDialogTest, DownloadCannotBeCancelledByButtonCloseOrEscape)
{
    m_server.SetDelay(std::chrono::milliseconds(500));
    std::optional<CSeen> seen;
    bool stillShowing = false;
    m_runner.SetShownHook([&](CProgressDialog& dialog) {
        seen = Look(dialog);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        dialog.close();
        QTest::mouseClick(dialog.GetCancelButton(), Qt::LeftButton);
        stillShowing = dialog.isVisible();
    });
    const std::string target = m_registry.DataDir() + "/Market/index.xml";
    CHttpDownload download(m_runner);
    ASSERT_TRUE(download.Create());
    download.SetServerProperties("127.0.0.1", m_server.Port());
    download.SetFileName(target);
    download.SetUri("/vantrel/markettab/indexfile.jsp");
    EXPECT_TRUE(download.Download(true, false));

    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->caption, "Downloading ...");
    EXPECT_EQ(seen->text, "Downloading ...");
    EXPECT_FALSE(seen->cancelEnabled);
    EXPECT_TRUE(stillShowing);
    EXPECT_EQ(ReadFileText(target), CPageTestServer::kMarketIndex);
}

TEST_F(ProgressDialogTest, EscapeDoesNotCancelASearch)
{
    m_server.SetDelay(std::chrono::milliseconds(300));
    bool stillShowing = false;
    m_runner.SetShownHook([&stillShowing](CProgressDialog& dialog) {
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QTest::keyClick(dialog.GetCancelButton(), Qt::Key_Escape);
        stillShowing = dialog.isVisible();
    });
    CItemList results;
    CSearchProgressDlg core(
        "esc",
        [&results](HWND self) {
            auto search = std::make_unique<CWorker<CMarketSearchThread>>(results);
            search->Setup("esc", "S42", self);
            return search;
        },
        false);
    EXPECT_EQ(m_runner.RunModal(core), IDOK);
    EXPECT_TRUE(stillShowing);
}

TEST_F(ProgressDialogTest, ScanShowsItsCaptionAndEndsWithOk)
{
    // Forty classes to look up on a lookup server that is not there: a short scan that
    // finds nothing and writes an empty index.
    CTempDir classes;
    for (int i = 0; i < 40; ++i)
        WriteFileText(classes.File("C" + std::to_string(i) + ".class"), ClassFileBytes("C" + std::to_string(i)));
    m_registry.Set("ComponentDatabase", "127.0.0.1:1");
    std::optional<CSeen> seen;
    m_runner.SetShownHook([&seen](CProgressDialog& dialog) { seen = Look(dialog); });
    CScanProgressDlg core(classes.Path(), true);
    EXPECT_EQ(m_runner.RunModal(core), IDOK);
    core.EndScan();

    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->caption, "Scanning ...");
    EXPECT_EQ(seen->text, "Scanning...");
    EXPECT_TRUE(seen->barVisible);
    EXPECT_TRUE(seen->cancelEnabled);
    EXPECT_EQ(core.GetStepCount(), 41);
    EXPECT_NE(ReadFileText(m_registry.DataDir() + "/Local/components.xml").find("components"), std::string::npos);
}
