#include "HandlerPool.h"

CHandlerPool::CHandlerPool(int threads, size_t queueLimit) : m_threadCount(threads), m_queueLimit(queueLimit) {}

CHandlerPool::~CHandlerPool() { Stop(); }

void CHandlerPool::Start()
{
    std::lock_guard lock(m_mutex);
    if (!m_threads.empty() || m_stopping)
        return;
    for (int i = 0; i < m_threadCount; ++i)
        m_threads.emplace_back([this] { Run(); });
}

bool CHandlerPool::TrySubmit(std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || m_threads.empty() || m_queue.size() >= m_queueLimit)
            return false;
        m_queue.push_back(std::move(task));
    }
    m_wake.notify_one();
    return true;
}

void CHandlerPool::Stop()
{
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        dropped.swap(m_queue);
    }
    m_wake.notify_all();
    // Outside the lock: a dropped task may hold what its destruction releases.
    dropped.clear();
    for (auto& thread : m_threads)
        if (thread.joinable())
            thread.join();
    m_threads.clear();
}

void CHandlerPool::Run()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return;
            task = std::move(m_queue.front());
            m_queue.pop_front();
        }
        task();
    }
}
