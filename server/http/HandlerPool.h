#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The threads that run page handlers, apart from the threads that read and write
// connections, so that a slow handler holds only its own request. Work waits in a bounded
// queue; past that the caller turns the request away instead of piling it up.
class CHandlerPool
{
public:
    CHandlerPool(int threads, size_t queueLimit);
    ~CHandlerPool();
    CHandlerPool(const CHandlerPool&) = delete;
    CHandlerPool& operator=(const CHandlerPool&) = delete;

    void Start();
    // False when queueLimit tasks already wait or the pool has stopped; the task is dropped.
    bool TrySubmit(std::function<void()> task);
    // Drops the tasks still waiting and waits for those running.
    void Stop();

private:
    void Run();

    int m_threadCount;
    size_t m_queueLimit;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};
