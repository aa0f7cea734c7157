#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <utility>

#include "Event.h"

// The wait interval of a worker that has not been started: wait until woken.
constexpr std::uint32_t INFINITE = 0xFFFFFFFF;

// Base of the threads that do long work behind a modal progress dialog: StartWork once,
// DoWork after every wait interval until the stop flag is set, EndWork once. The work
// itself sets the stop flag when it has nothing left to do; the dialog cancels with Stop.
//
// Workers are held as CWorker<T> (below), which stops and joins the thread before any part
// of the work is destroyed; Begin refuses a worker that is not held so.
class CWorkerThread
{
public:
    CWorkerThread();
    virtual ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Creates the thread, which runs at once and waits interval milliseconds between
    // steps. False when no thread could be created or the worker was started before.
    bool Begin(std::uint32_t interval);
    // Begin with the 5 ms interval; the thread id, or 0 when no thread was created.
    std::uint32_t Start();
    // Cancels: status -1 and the stop flag. Does not wait and does not wake the thread.
    void Stop();
    // Stops, wakes the thread and waits for it to finish. Returns at once for a worker
    // that was never started.
    void Shutdown();

    bool IsRunning() const { return m_running; }
    // Non-zero once started and unique in the process; the wParam of the worker's messages.
    std::uint32_t GetThreadId() const { return m_threadId; }
    // 0 until Stop sets -1; derived classes may set their own values.
    std::int32_t GetStatus() const { return m_status; }

protected:
    virtual void StartWork() {}
    virtual void DoWork() = 0;
    virtual void EndWork() {}

    void SetStatus(std::int32_t status) { m_status = status; }
    // Set by CWorker once the whole worker is constructed.
    void MarkOwned() { m_owned = true; }
    // Ends the loop after the current step; EndWork still runs.
    void SetStopFlag() { m_stop = true; }
    bool IsStopFlagSet() const { return m_stop; }

private:
    void ThreadBody();
    template <typename Step>
    void RunStep(Step step, const char* context);

    std::thread m_thread;
    std::mutex m_joinMutex;
    CEvent m_wake{false, false};
    CEvent m_finished{true, true};
    std::uint32_t m_threadId = 0;
    std::uint32_t m_interval = INFINITE;
    // Read by one thread while the other writes them: stale values cost at most one
    // more wait interval or one more step.
    std::atomic<std::int32_t> m_status{0};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_shutDown{false};
    bool m_owned = false;
};

// A worker as its owner holds it, by value or through a pointer: its thread is stopped and
// joined first, so the steps never run on a half-destroyed object.
template <typename Work>
class CWorker final : public Work
{
public:
    template <typename... Args>
    explicit CWorker(Args&&... args) : Work(std::forward<Args>(args)...)
    {
        this->MarkOwned();
    }
    ~CWorker() override { this->Shutdown(); }
};
