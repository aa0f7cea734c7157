#include "QtMessageTarget.h"

#include <memory>
#include <thread>
#include <vector>

#include <QThread>

#include <gtest/gtest.h>

#include "ShellTestSupport.h"

namespace
{
struct CReceived
{
    unsigned message;
    WPARAM wParam;
    LPARAM lParam;
    QThread* thread;
};
}  // namespace

TEST(QtMessageTarget, MessagesFromWorkerThreadsArriveOnTheUiThreadInOrder)
{
    std::vector<CReceived> received;
    CQtMessageTarget target([&received](unsigned message, WPARAM wParam, LPARAM lParam) {
        received.push_back({message, wParam, lParam, QThread::currentThread()});
    });
    const HWND handle = target.GetHandle();
    constexpr int kThreads = 4;
    constexpr int kEach = 200;
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([handle, t] {
            for (int i = 0; i < kEach; ++i)
                EXPECT_TRUE(PostMessage(handle, WM_USER + 7, static_cast<WPARAM>(t), i));
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    // Nothing is delivered outside the event loop.
    EXPECT_TRUE(received.empty());
    ASSERT_TRUE(WaitFor([&] { return received.size() == kThreads * kEach; }));

    std::vector<LPARAM> next(kThreads, 0);
    for (const CReceived& message : received) {
        EXPECT_EQ(message.message, WM_USER + 7);
        EXPECT_EQ(message.thread, QThread::currentThread());
        ASSERT_LT(message.wParam, static_cast<WPARAM>(kThreads));
        EXPECT_EQ(message.lParam, next[message.wParam]++) << "thread " << message.wParam;
    }
}

TEST(QtMessageTarget, AGoneTargetDropsWhatWasQueuedAndRefusesNewPosts)
{
    int delivered = 0;
    auto target = std::make_unique<CQtMessageTarget>([&delivered](unsigned, WPARAM, LPARAM) { ++delivered; });
    const HWND handle = target->GetHandle();
    EXPECT_TRUE(IsWindow(handle));
    EXPECT_TRUE(PostMessage(handle, WM_USER, 0, 0));
    target.reset();

    EXPECT_FALSE(IsWindow(handle));
    EXPECT_FALSE(PostMessage(handle, WM_USER, 0, 0));
    Pump(std::chrono::milliseconds(100));
    EXPECT_EQ(delivered, 0);

    // A new target never gets the old one's handle.
    CQtMessageTarget other([&delivered](unsigned, WPARAM, LPARAM) { ++delivered; });
    EXPECT_NE(other.GetHandle(), handle);
}
