#include "WorkerThread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace
{
// A gate one thread waits at until another opens it.
class CGate
{
public:
    void Open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    bool WaitOpen(std::chrono::milliseconds timeout = 10s)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

// Records its steps; does `steps` units of work and then stops itself.
class CCountingWork : public CWorkerThread
{
public:
    explicit CCountingWork(int steps) : m_steps(steps) {}

    std::vector<std::string> Log()
    {
        std::lock_guard lock(m_mutex);
        return m_log;
    }
    std::int32_t EndStatus() const { return m_endStatus; }

    CGate enterDoWork;    // opened when DoWork number gateStep starts
    CGate leaveDoWork;    // DoWork number gateStep waits for it
    CGate leaveEndWork;   // EndWork waits for it when endWaits is set
    CGate ended;          // opened when EndWork is done
    int gateStep = -1;
    bool endWaits = false;
    bool throwInDoWork = false;
    std::atomic<bool>* endWorkDone = nullptr;

protected:
    void StartWork() override { Add("start"); }
    void DoWork() override
    {
        int step = m_done++;
        Add("work");
        if (throwInDoWork)
            throw std::runtime_error("broken unit");
        if (step == gateStep) {
            enterDoWork.Open();
            leaveDoWork.WaitOpen();
        }
        if (m_done >= m_steps)
            SetStopFlag();
    }
    void EndWork() override
    {
        m_endStatus = GetStatus();
        if (endWaits)
            leaveEndWork.WaitOpen();
        Add("end");
        if (endWorkDone)
            *endWorkDone = true;
        ended.Open();
    }

private:
    void Add(const char* entry)
    {
        std::lock_guard lock(m_mutex);
        m_log.push_back(entry);
    }

    const int m_steps;
    int m_done = 0;
    std::atomic<std::int32_t> m_endStatus{99};
    std::mutex m_mutex;
    std::vector<std::string> m_log;
};
using CCountingWorker = CWorker<CCountingWork>;

template <typename F>
bool FinishesWithin(F f, std::chrono::milliseconds timeout)
{
    auto done = std::async(std::launch::async, f);
    return done.wait_for(timeout) == std::future_status::ready;
}
}  // namespace

TEST(WorkerThread, RunsStartWorkThenEachUnitThenEndWork)
{
    CCountingWorker worker(3);
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(worker.GetThreadId(), 0u);
    std::uint32_t id = worker.Start();
    EXPECT_NE(id, 0u);
    EXPECT_EQ(worker.GetThreadId(), id);
    ASSERT_TRUE(worker.ended.WaitOpen());
    worker.Shutdown();
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(worker.Log(), (std::vector<std::string>{"start", "work", "work", "work", "end"}));
    EXPECT_EQ(worker.EndStatus(), 0);
}

TEST(WorkerThread, ThreadIdsAreDistinctAndAWorkerStartsOnce)
{
    CCountingWorker first(1);
    CCountingWorker second(1);
    std::uint32_t a = first.Start();
    std::uint32_t b = second.Start();
    EXPECT_NE(a, 0u);
    EXPECT_NE(b, 0u);
    EXPECT_NE(a, b);
    first.Shutdown();
    EXPECT_EQ(first.Start(), 0u);
    EXPECT_EQ(first.GetThreadId(), a);

    // Only a worker held so that it is stopped before it goes may start.
    CCountingWork bare(1);
    EXPECT_EQ(bare.Start(), 0u);
    EXPECT_TRUE(bare.Log().empty());
}

TEST(WorkerThread, StopDuringALongUnitTakesEffectAfterIt)
{
    CCountingWorker worker(1000);
    worker.gateStep = 1;
    ASSERT_NE(worker.Start(), 0u);
    ASSERT_TRUE(worker.enterDoWork.WaitOpen());
    worker.Stop();
    EXPECT_EQ(worker.GetStatus(), -1);
    EXPECT_TRUE(worker.IsRunning());
    worker.leaveDoWork.Open();
    worker.Shutdown();
    // Two units ran: the one before and the one Stop arrived in; none after it.
    EXPECT_EQ(worker.Log(), (std::vector<std::string>{"start", "work", "work", "end"}));
    EXPECT_EQ(worker.EndStatus(), -1);
}

TEST(WorkerThread, DestroyingAStartedWorkerWaitsForEndWork)
{
    std::atomic<bool> endWorkDone{false};
    auto worker = std::make_unique<CCountingWorker>(1000000);
    worker->endWorkDone = &endWorkDone;
    worker->endWaits = true;
    ASSERT_NE(worker->Start(), 0u);
    // The gate lives in the worker, which stays alive while its destructor waits.
    CGate* gate = &worker->leaveEndWork;
    std::thread opener([gate] {
        std::this_thread::sleep_for(50ms);
        gate->Open();
    });
    worker.reset();
    EXPECT_TRUE(endWorkDone);
    opener.join();
}

TEST(WorkerThread, DestroyingAnUnstartedWorkerDoesNotBlock)
{
    EXPECT_TRUE(FinishesWithin([] { CCountingWorker worker(1); }, 5s));
    EXPECT_TRUE(FinishesWithin([] {
        CCountingWorker worker(1);
        worker.Stop();
        worker.Shutdown();
        worker.Shutdown();
    }, 5s));
}

TEST(WorkerThread, ShutdownWakesAWorkerThatWaitsWithoutLimit)
{
    CCountingWorker worker(1000);
    ASSERT_TRUE(worker.Begin(INFINITE));
    EXPECT_TRUE(FinishesWithin([&] { worker.Shutdown(); }, 5s));
    EXPECT_EQ(worker.Log(), (std::vector<std::string>{"start", "end"}));
    // Shutdown is not a cancel: the status stays as the work left it.
    EXPECT_EQ(worker.EndStatus(), 0);
}

TEST(WorkerThread, AThrowingUnitEndsTheLoopButEndWorkStillRuns)
{
    CCountingWorker worker(1000);
    worker.throwInDoWork = true;
    ASSERT_NE(worker.Start(), 0u);
    ASSERT_TRUE(worker.ended.WaitOpen());
    worker.Shutdown();
    EXPECT_EQ(worker.Log(), (std::vector<std::string>{"start", "work", "end"}));
}
