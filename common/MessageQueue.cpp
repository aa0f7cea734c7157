#include "MessageQueue.h"

CMessageQueue::CMessageQueue()
    : m_target([this](unsigned message, WPARAM wParam, LPARAM lParam) {
          {
              std::lock_guard lock(m_mutex);
              m_messages.push_back({message, wParam, lParam});
          }
          m_arrived.notify_one();
      })
{
}

bool CMessageQueue::GetMessage(CMessage& out, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    if (!m_arrived.wait_for(lock, timeout, [this] { return !m_messages.empty(); }))
        return false;
    out = m_messages.front();
    m_messages.pop_front();
    return true;
}
