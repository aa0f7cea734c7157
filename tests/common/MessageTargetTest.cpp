#include "MessageTarget.h"

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "MessageQueue.h"
#include "support/HeadlessModalRunner.h"

TEST(CMessageTarget, DeliversFromOtherThreadsInOrder)
{
    CMessageQueue queue;
    EXPECT_TRUE(IsWindow(queue.GetHandle()));
    std::thread poster([h = queue.GetHandle()] {
        for (int i = 0; i < 100; ++i)
            PostMessage(h, WM_USER + 1, static_cast<WPARAM>(i), -i);
    });
    for (int i = 0; i < 100; ++i) {
        CMessage m;
        ASSERT_TRUE(queue.GetMessage(m, std::chrono::seconds(5)));
        EXPECT_EQ(m.message, WM_USER + 1);
        EXPECT_EQ(m.wParam, static_cast<WPARAM>(i));
        EXPECT_EQ(m.lParam, -i);
    }
    poster.join();
    CMessage none;
    EXPECT_FALSE(queue.GetMessage(none, std::chrono::milliseconds(10)));
}

TEST(CMessageTarget, PostingToADestroyedTargetDoesNothing)
{
    HWND gone;
    {
        CMessageQueue queue;
        gone = queue.GetHandle();
    }
    EXPECT_FALSE(IsWindow(gone));
    EXPECT_FALSE(PostMessage(gone, WM_USER, 0, 0));
    EXPECT_FALSE(PostMessage(0, WM_USER, 0, 0));
    CMessageQueue next;
    EXPECT_NE(next.GetHandle(), gone);  // handles are never reused
}

TEST(CMessageTarget, DestroyingWhilePostersRunIsSafe)
{
    std::atomic<bool> stop{false};
    std::atomic<HWND> target{0};
    std::thread poster([&] {
        while (!stop)
            PostMessage(target.load(), WM_USER, 1, 2);
    });
    for (int i = 0; i < 200; ++i) {
        auto queue = std::make_unique<CMessageQueue>();
        target = queue->GetHandle();
        std::this_thread::yield();
        queue.reset();
    }
    stop = true;
    poster.join();
}

namespace
{
// Ends after three progress messages; the third carries the result.
class CCountingDialog : public CModalDialogCore
{
public:
    void OnInitDialog(HWND self) override
    {
        m_worker = std::thread([self] {
            for (int i = 1; i <= 3; ++i)
                PostMessage(self, WM_USER + 7, static_cast<WPARAM>(i), 0);
        });
    }
    void OnMessage(unsigned message, WPARAM wParam, LPARAM) override
    {
        if (message != WM_USER + 7)
            return;
        SetPosition(static_cast<int>(wParam));
        if (wParam == 3)
            EndDialog(IDOK);
    }
    ~CCountingDialog() override
    {
        if (m_worker.joinable())
            m_worker.join();
    }

private:
    std::thread m_worker;
};

class CSilentDialog : public CModalDialogCore
{
public:
    explicit CSilentDialog(bool cancel) { EnableCancel(cancel); }
    void OnCancel() override
    {
        ++cancels;
        EndDialog(IDCANCEL);
    }
    int cancels = 0;
};
}  // namespace

TEST(CHeadlessModalRunner, RunsUntilTheDialogEnds)
{
    CCountingDialog dialog;
    CHeadlessModalRunner runner;
    EXPECT_EQ(runner.RunModal(dialog), IDOK);
    EXPECT_EQ(dialog.GetView().position, 3);
    EXPECT_EQ(runner.GetMessagesDelivered(), 3);
}

TEST(CHeadlessModalRunner, TimeoutCancelsOrEnds)
{
    CSilentDialog cancellable(true);
    EXPECT_EQ(CHeadlessModalRunner(std::chrono::milliseconds(50)).RunModal(cancellable), IDCANCEL);
    EXPECT_EQ(cancellable.cancels, 1);

    CSilentDialog stuck(false);  // Cancel disabled: the runner ends it itself
    EXPECT_EQ(CHeadlessModalRunner(std::chrono::milliseconds(50)).RunModal(stuck), IDCANCEL);
    EXPECT_EQ(stuck.cancels, 0);
}
