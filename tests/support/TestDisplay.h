#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "TestSupport.h"

struct xcb_connection_t;

// An X server of the test's own (Xvfb, no window manager) and a connection to it that sees
// what a user would: which top-level windows are mapped, in which stacking order, with
// which titles, and which has the input focus; it can cover them and close them.
class CTestDisplay
{
public:
    using Window = std::uint32_t;

    CTestDisplay() = default;
    ~CTestDisplay();
    CTestDisplay(const CTestDisplay&) = delete;
    CTestDisplay& operator=(const CTestDisplay&) = delete;

    // Empty when the server runs and is connected; otherwise why not.
    std::string Start();
    // ":N", for DISPLAY.
    const std::string& Name() const { return m_name; }

    // Mapped top-level windows of the process pid, bottom to top.
    std::vector<Window> WindowsOf(std::int64_t pid);
    // The first mapped window of pid at least minWidth by minHeight; 0 when none appeared in time.
    Window WaitForWindow(std::int64_t pid, std::chrono::milliseconds timeout = std::chrono::seconds(60),
                         int minWidth = 0, int minHeight = 0);
    // Width and height; 0 by 0 for a window that is gone.
    std::pair<int, int> Size(Window window);
    struct Rect
    {
        int x = 0, y = 0, width = 0, height = 0;
        bool operator==(const Rect&) const = default;
    };
    // Place on the screen and size; all 0 for a window that is gone.
    Rect Geometry(Window window);
    bool WaitForGeometry(Window window, const Rect& rect,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // What a window manager would do: moves and sizes the window; marks it maximised (by
    // its _NET_WM_STATE) and spreads it over the screen.
    void Configure(Window window, const Rect& rect);
    void Maximize(Window window);
    // Whether the window's _NET_WM_STATE holds both maximised states.
    bool IsMaximized(Window window);
    // The mouse: pressed with the left button at one point of the screen, moved to another
    // and let go there.
    void Drag(int fromX, int fromY, int toX, int toY);
    std::string Title(Window window);
    bool WaitForTitle(Window window, const std::string& title, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // True when window lies above other in the stacking order.
    bool IsAbove(Window window, Window other);
    bool WaitUntilAbove(Window window, Window other, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    Window InputFocus();

    // A plain window of the test's own, mapped on top of every other.
    Window CoverAll();
    // What the close box does: WM_DELETE_WINDOW to the window.
    void Close(Window window);

private:
    std::uint32_t Atom(const char* name);
    std::vector<Window> StackingOrder();

    CTempDir m_dir;
    CChildProcess m_server;
    std::string m_name;
    xcb_connection_t* m_connection = nullptr;
    Window m_root = 0;
};
