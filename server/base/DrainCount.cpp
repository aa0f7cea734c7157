#include "DrainCount.h"

#include <algorithm>

void CDrainCount::Move(EState& state, EState next)
{
    std::lock_guard lock(m_mutex);
    if (state == next)
        return;
    --m_count[state];
    ++m_count[next];
    state = next;
    m_changed.notify_all();
}

void CDrainCount::Stopping()
{
    std::lock_guard lock(m_mutex);
    if (!m_stopping)
        m_stoppedAt = std::chrono::steady_clock::now();
    m_stopping = true;
    m_changed.notify_all();
}

bool CDrainCount::WaitUntilIdle(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        auto wake = deadline;
        bool waiting = m_count[kAnswering] > 0;
        for (auto [state, grace] : {std::pair{kSilent, kSilentGrace}, std::pair{kPartial, kPartialGrace}}) {
            if (m_count[state] == 0)
                continue;
            if (!m_stopping) {
                waiting = true;
            } else if (now < m_stoppedAt + grace) {
                waiting = true;
                wake = std::min(wake, m_stoppedAt + grace);
            }
        }
        if (!waiting)
            return true;
        if (now >= deadline)
            return false;
        m_changed.wait_until(lock, wake);
    }
}
