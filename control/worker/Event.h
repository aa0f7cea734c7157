#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// An event object: a flag that threads wait for. An auto-reset event lets one waiter
// through per Set and clears itself; a manual-reset event stays set until Reset.
class CEvent
{
public:
    CEvent(bool manualReset, bool initialState);
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    void Set();
    void Reset();
    void Wait();
    // False when the time ran out before the event was set.
    bool Wait(std::chrono::milliseconds timeout);

private:
    std::mutex m_mutex;
    std::condition_variable m_signalled;
    const bool m_manualReset;
    bool m_set;
};
