#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// What a stopping server still waits for, by the state of each connection: one answering (a
// request in, its answer going out) always; one that has sent nothing yet for kSilentGrace
// after the stop, so a client taken just before is answered; one with half a request for
// kPartialGrace, so a slow or hostile client holds the stop only briefly.
class CDrainCount
{
public:
    enum EState { kIdle, kSilent, kPartial, kAnswering };
    static constexpr std::chrono::milliseconds kSilentGrace{1000};
    static constexpr std::chrono::milliseconds kPartialGrace{250};

    // Moves a connection from state to next in one step, so a stop never sees it in neither.
    void Move(EState& state, EState next);
    void Stopping();
    // True once nothing is left to wait for; false when deadline came first.
    bool WaitUntilIdle(std::chrono::steady_clock::time_point deadline);

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_count[4] = {0, 0, 0, 0};
    bool m_stopping = false;
    std::chrono::steady_clock::time_point m_stoppedAt;
};
