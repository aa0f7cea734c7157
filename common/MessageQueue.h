#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "MessageTarget.h"

struct CMessage
{
    unsigned message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// A message target without a user interface: posted messages wait in a queue until the
// owning thread takes them. Serves headless runs and tests.
class CMessageQueue
{
public:
    CMessageQueue();

    HWND GetHandle() const { return m_target.GetHandle(); }
    // Waits up to timeout for the next message; false when none came.
    bool GetMessage(CMessage& out, std::chrono::milliseconds timeout);

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<CMessage> m_messages;
    CMessageTarget m_target;  // last: unregistered before the queue goes
};
