#pragma once

#include <cstdint>
#include <functional>

// Window handles and posted messages without windows: a target registers a post function,
// which is called on the posting thread and must hand the message over to the target's own
// thread (a queue, or the user interface's event loop). Handles are never reused, so a message
// posted to a target that is gone is dropped, as PostMessage to a destroyed window is.

using HWND = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

constexpr unsigned WM_USER = 0x400;

class CMessageTarget
{
public:
    using PostFunction = std::function<void(unsigned message, WPARAM wParam, LPARAM lParam)>;

    explicit CMessageTarget(PostFunction post);
    // After the destructor returns, no post function call is running or will start.
    ~CMessageTarget();
    CMessageTarget(const CMessageTarget&) = delete;
    CMessageTarget& operator=(const CMessageTarget&) = delete;

    HWND GetHandle() const { return m_handle; }

private:
    HWND m_handle;
};

// Safe from any thread. False when the target does not exist (any more).
bool PostMessage(HWND target, unsigned message, WPARAM wParam, LPARAM lParam);
bool IsWindow(HWND target);
