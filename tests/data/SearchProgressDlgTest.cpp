#include "SearchProgressDlg.h"

#include <atomic>

#include <gtest/gtest.h>

#include "JavaItemDataManager.h"
#include "JavaSearchThread.h"
#include "JavaTestServer.h"
#include "SearchThread.h"
#include "support/HeadlessModalRunner.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace
{
// A search of `steps` steps; a step can be made to wait until the test lets it go.
class CStepSearch : public CSearchThread
{
public:
    CStepSearch(CItemList& results, int steps, HWND target) : CSearchThread(results), m_steps(steps)
    {
        SetTargetWindow(target);
    }

    std::atomic<bool> slow{false};
    std::atomic<std::int32_t>* endStatus = nullptr;

protected:
    void StartWork() override { PostSearchStarted(m_steps); }
    void DoWork() override
    {
        if (slow)
            std::this_thread::sleep_for(20ms);
        bool done = m_done++ >= m_steps;
        PostSearchProgress();
        if (done)
            SetStopFlag();
    }
    void EndWork() override
    {
        if (endStatus)
            *endStatus = GetStatus();
        PostSearchFinished();
    }

private:
    int m_steps;
    int m_done = 0;
};
}  // namespace

TEST(SearchProgressDlg, FollowsTheSearchAndEndsWithOk)
{
    CItemList results;
    std::atomic<std::int32_t> endStatus{99};
    CSearchProgressDlg dialog("Vector", [&](HWND self) {
        auto search = std::make_unique<CWorker<CStepSearch>>(results, 4, self);
        search->endStatus = &endStatus;
        return search;
    });
    EXPECT_EQ(dialog.GetView().caption, "Searching...");
    EXPECT_TRUE(dialog.IsProgressBarShown());
    CHeadlessModalRunner runner(30s);
    EXPECT_EQ(runner.RunModal(dialog), IDOK);
    EXPECT_EQ(dialog.GetView().text, "Searching for \"Vector\"");
    EXPECT_EQ(dialog.GetView().rangeLow, 0);
    EXPECT_EQ(dialog.GetView().rangeHigh, 4);
    EXPECT_EQ(dialog.GetStepCount(), 5);
    EXPECT_EQ(dialog.GetView().position, 5);
    dialog.EndSearch();
    EXPECT_EQ(endStatus, 0);
}

TEST(SearchProgressDlg, CancelStopsTheSearch)
{
    CItemList results;
    std::atomic<std::int32_t> endStatus{99};
    CSearchProgressDlg dialog("x", [&](HWND self) {
        auto search = std::make_unique<CWorker<CStepSearch>>(results, 1000, self);
        search->slow = true;
        search->endStatus = &endStatus;
        return search;
    }, false);
    EXPECT_FALSE(dialog.IsProgressBarShown());
    CHeadlessModalRunner runner(30s);
    runner.CancelAfterMessages(3);
    EXPECT_EQ(runner.RunModal(dialog), IDCANCEL);
    dialog.EndSearch();  // waits for the search
    EXPECT_EQ(endStatus, -1);
    EXPECT_LT(dialog.GetStepCount(), 1000);
}

TEST(SearchProgressDlg, WithoutASearchTheDialogEndsAtOnce)
{
    CSearchProgressDlg dialog("x", [](HWND) { return std::unique_ptr<CSearchThread>(); });
    CHeadlessModalRunner runner(30s);
    EXPECT_EQ(runner.RunModal(dialog), IDCANCEL);
    EXPECT_EQ(runner.GetMessagesDelivered(), 0);
}

TEST(SearchProgressDlg, RunsAJavaSearchHeadless)
{
    CTestRegistry registry;
    CJavaTestServer server;
    registry.Set("ComponentWebServer", server.BaseUrl());
    WriteFileText(registry.DataDir() + "/Java/index.xml",
                  R"(<javatab><technology name="jdk" display="JDK" docroot="D/"/></javatab>)");
    server.Serve("/xql.dll/vantrel/java/data/jdk/index.bnd",
                 "<r><class><packageName>java.util</packageName><className>Vector</className></class></r>");
    CHeadlessModalRunner runner(30s);
    CJavaItemDataManager manager(runner);
    CItemList results;
    {
        CSearchProgressDlg dialog("Vector", [&](HWND self) {
            auto search = std::make_unique<CWorker<CJavaSearchThread>>(manager, results);
            search->Setup("", "Vector", "", 1, self);
            return search;
        });
        EXPECT_EQ(runner.RunModal(dialog), IDOK);
        EXPECT_EQ(dialog.GetView().rangeHigh, 1);
        EXPECT_EQ(dialog.GetStepCount(), 2);
    }
    ASSERT_EQ(results.GetCount(), 1u);
    EXPECT_EQ(results.GetAt(0).GetName(), "java.util.Vector (JDK)");
}
