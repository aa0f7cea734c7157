#include "Event.h"

CEvent::CEvent(bool manualReset, bool initialState)
    : m_manualReset(manualReset)
    , m_set(initialState)
{
}

void CEvent::Set()
{
    {
        std::lock_guard lock(m_mutex);
        m_set = true;
    }
    if (m_manualReset)
        m_signalled.notify_all();
    else
        m_signalled.notify_one();
}

void CEvent::Reset()
{
    std::lock_guard lock(m_mutex);
    m_set = false;
}

void CEvent::Wait()
{
    std::unique_lock lock(m_mutex);
    m_signalled.wait(lock, [this] { return m_set; });
    if (!m_manualReset)
        m_set = false;
}

bool CEvent::Wait(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    if (!m_signalled.wait_for(lock, timeout, [this] { return m_set; }))
        return false;
    if (!m_manualReset)
        m_set = false;
    return true;
}
