#include "DownloadDialog.h"

#include <climits>

#include <gtest/gtest.h>

#include "HttpDownload.h"
#include "MessageQueue.h"

namespace
{
class DownloadDialogTest : public ::testing::Test
{
protected:
    // A stand-in modal loop: the runner is never asked to run anything here.
    class CNoRunner : public IModalRunner
    {
    public:
        int RunModal(CModalDialogCore&) override { return IDCANCEL; }
    } m_runner;
};

TEST_F(DownloadDialogTest, OpensWithoutCancelAndTellsTheClientItsWindow)
{
    CHttpDownload client(m_runner);
    CDownloadDialog dialog(client, kControlDownloadMessages);
    EXPECT_EQ(dialog.GetView().caption, "Downloading ...");
    EXPECT_EQ(dialog.GetView().text, "Downloading ...");
    CMessageQueue queue;
    dialog.OnInitDialog(queue.GetHandle());
    EXPECT_FALSE(dialog.GetView().cancelEnabled);
    EXPECT_FALSE(dialog.HasEnded());
    CHttpDownload host(m_runner, kHostDownloadMessages);
    EXPECT_EQ(CDownloadDialog(host, kHostDownloadMessages).GetView().caption, "Corvane Component Manager");
}

TEST_F(DownloadDialogTest, ReactsToItsOwnMessageNumbersOnly)
{
    struct CCase
    {
        const CDownloadMessages* mine;
        const CDownloadMessages* other;
    };
    CHttpDownload client(m_runner);
    for (CCase c : {CCase{&kControlDownloadMessages, &kHostDownloadMessages},
                    CCase{&kHostDownloadMessages, &kControlDownloadMessages}}) {
        SCOPED_TRACE(c.mine->progress);
        CDownloadDialog dialog(client, *c.mine);
        dialog.OnMessage(c.mine->progress, 1500, 70000);  // more than 16 bits of range
        EXPECT_EQ(dialog.GetView().rangeLow, 0);
        EXPECT_EQ(dialog.GetView().rangeHigh, 70000);
        EXPECT_EQ(dialog.GetView().position, 1500);
        dialog.OnMessage(c.mine->reserved, 1, 2);
        dialog.OnMessage(c.other->progress, 1, 2);
        dialog.OnMessage(c.other->done, 0, 0);
        EXPECT_EQ(dialog.GetView().rangeHigh, 70000);
        EXPECT_FALSE(dialog.HasEnded());
        dialog.OnMessage(c.mine->done, 0, 0);
        EXPECT_TRUE(dialog.HasEnded());
        EXPECT_EQ(dialog.GetResult(), IDOK);
    }
}

TEST_F(DownloadDialogTest, ScalesTransfersLargerThanTheBarCanCount)
{
    CHttpDownload client(m_runner);
    CDownloadDialog dialog(client, kControlDownloadMessages);
    long long total = 6LL * 1024 * 1024 * 1024;
    dialog.OnMessage(WM_DOWNLOAD_PROGRESS, static_cast<WPARAM>(total / 2), static_cast<LPARAM>(total));
    EXPECT_GT(dialog.GetView().rangeHigh, INT_MAX / 2);
    EXPECT_EQ(dialog.GetView().position, dialog.GetView().rangeHigh / 2);
    dialog.OnMessage(WM_DOWNLOAD_PROGRESS, 10, 0);  // total unknown
    EXPECT_EQ(dialog.GetView().rangeHigh, 0);
}
}  // namespace
