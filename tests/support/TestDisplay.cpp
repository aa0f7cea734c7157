#include "TestDisplay.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace
{
template <typename Reply>
struct CFree
{
    void operator()(Reply* reply) const { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, CFree<Reply>>;

bool PollUntil(std::chrono::milliseconds timeout, const auto& done)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
}  // namespace

CTestDisplay::~CTestDisplay()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

std::string CTestDisplay::Start()
{
    // Xvfb picks a free display itself and prints its number when it accepts connections.
    std::string number = m_server.StartServer(
        {XVFB_PROGRAM, "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, {}, 3, m_dir.File("xvfb.log"));
    if (number.empty())
        return "Xvfb did not start: " + ReadFileText(m_dir.File("xvfb.log"));
    m_name = ":" + number;
    m_connection = xcb_connect(m_name.c_str(), nullptr);
    if (xcb_connection_has_error(m_connection))
        return "cannot connect to " + m_name;
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    return {};
}

std::uint32_t CTestDisplay::Atom(const char* name)
{
    ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : 0;
}

std::vector<CTestDisplay::Window> CTestDisplay::StackingOrder()
{
    std::vector<Window> windows;
    ReplyPtr<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr));
    if (!tree)
        return windows;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    windows.assign(children, children + xcb_query_tree_children_length(tree.get()));
    return windows;
}

std::vector<CTestDisplay::Window> CTestDisplay::WindowsOf(std::int64_t pid)
{
    std::vector<Window> found;
    const std::uint32_t pidAtom = Atom("_NET_WM_PID");
    for (Window window : StackingOrder()) {
        ReplyPtr<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, window), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        ReplyPtr<xcb_get_property_reply_t> property(xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
        if (property && xcb_get_property_value_length(property.get()) == 4 &&
            *static_cast<std::uint32_t*>(xcb_get_property_value(property.get())) == static_cast<std::uint32_t>(pid))
            found.push_back(window);
    }
    return found;
}

CTestDisplay::Window CTestDisplay::WaitForWindow(std::int64_t pid, std::chrono::milliseconds timeout, int minWidth,
                                                 int minHeight)
{
    Window window = 0;
    PollUntil(timeout, [&] {
        for (Window candidate : WindowsOf(pid)) {
            auto [width, height] = Size(candidate);
            if (width >= minWidth && height >= minHeight) {
                window = candidate;
                return true;
            }
        }
        return false;
    });
    return window;
}

std::pair<int, int> CTestDisplay::Size(Window window)
{
    ReplyPtr<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr));
    return geometry ? std::pair<int, int>(geometry->width, geometry->height) : std::pair<int, int>(0, 0);
}

CTestDisplay::Rect CTestDisplay::Geometry(Window window)
{
    ReplyPtr<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr));
    ReplyPtr<xcb_translate_coordinates_reply_t> place(xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, window, m_root, 0, 0), nullptr));
    if (!geometry || !place)
        return {};
    return {place->dst_x, place->dst_y, geometry->width, geometry->height};
}

bool CTestDisplay::WaitForGeometry(Window window, const Rect& rect, std::chrono::milliseconds timeout)
{
    return PollUntil(timeout, [&] { return Geometry(window) == rect; });
}

void CTestDisplay::Configure(Window window, const Rect& rect)
{
    const std::uint32_t values[] = {static_cast<std::uint32_t>(rect.x), static_cast<std::uint32_t>(rect.y),
                                    static_cast<std::uint32_t>(rect.width), static_cast<std::uint32_t>(rect.height)};
    xcb_configure_window(m_connection, window,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    xcb_flush(m_connection);
}

void CTestDisplay::Maximize(Window window)
{
    const std::uint32_t states[] = {Atom("_NET_WM_STATE_MAXIMIZED_VERT"), Atom("_NET_WM_STATE_MAXIMIZED_HORZ")};
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, Atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 2,
                        states);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    Configure(window, {0, 0, screen->width_in_pixels, screen->height_in_pixels});
}

bool CTestDisplay::IsMaximized(Window window)
{
    ReplyPtr<xcb_get_property_reply_t> property(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, Atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 0, 32), nullptr));
    if (!property)
        return false;
    const auto* atoms = static_cast<const std::uint32_t*>(xcb_get_property_value(property.get()));
    const std::vector<std::uint32_t> states(atoms, atoms + xcb_get_property_value_length(property.get()) / 4);
    return std::count(states.begin(), states.end(), Atom("_NET_WM_STATE_MAXIMIZED_VERT")) == 1 &&
           std::count(states.begin(), states.end(), Atom("_NET_WM_STATE_MAXIMIZED_HORZ")) == 1;
}

void CTestDisplay::Drag(int fromX, int fromY, int toX, int toY)
{
    const auto input = [this](std::uint8_t type, std::uint8_t detail, int x, int y) {
        xcb_test_fake_input(m_connection, type, detail, XCB_CURRENT_TIME, m_root, static_cast<std::int16_t>(x),
                            static_cast<std::int16_t>(y), XCB_NONE);
        xcb_flush(m_connection);
        // A program reads the pointer's moves as they come; it must see each one.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    };
    input(XCB_MOTION_NOTIFY, 0, fromX, fromY);
    input(XCB_BUTTON_PRESS, 1, fromX, fromY);
    constexpr int kSteps = 5;
    for (int step = 1; step <= kSteps; ++step)
        input(XCB_MOTION_NOTIFY, 0, fromX + (toX - fromX) * step / kSteps, fromY + (toY - fromY) * step / kSteps);
    input(XCB_BUTTON_RELEASE, 1, toX, toY);
}

std::string CTestDisplay::Title(Window window)
{
    ReplyPtr<xcb_get_property_reply_t> property(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, Atom("_NET_WM_NAME"), Atom("UTF8_STRING"), 0, 1024),
        nullptr));
    if (!property)
        return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(property.get())),
                       static_cast<size_t>(xcb_get_property_value_length(property.get())));
}

bool CTestDisplay::WaitForTitle(Window window, const std::string& title, std::chrono::milliseconds timeout)
{
    return PollUntil(timeout, [&] { return Title(window) == title; });
}

bool CTestDisplay::IsAbove(Window window, Window other)
{
    std::vector<Window> order = StackingOrder();
    auto at = std::find(order.begin(), order.end(), window);
    auto otherAt = std::find(order.begin(), order.end(), other);
    return at != order.end() && otherAt != order.end() && at > otherAt;
}

bool CTestDisplay::WaitUntilAbove(Window window, Window other, std::chrono::milliseconds timeout)
{
    return PollUntil(timeout, [&] { return IsAbove(window, other); });
}

CTestDisplay::Window CTestDisplay::InputFocus()
{
    ReplyPtr<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    return focus ? focus->focus : 0;
}

CTestDisplay::Window CTestDisplay::CoverAll()
{
    Window window = xcb_generate_id(m_connection);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_root, 0, 0, screen->width_in_pixels,
                      screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_map_window(m_connection, window);
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(m_connection, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(m_connection);
    PollUntil(std::chrono::seconds(5), [&] {
        std::vector<Window> order = StackingOrder();
        return !order.empty() && order.back() == window;
    });
    return window;
}

void CTestDisplay::Close(Window window)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = Atom("WM_PROTOCOLS");
    event.data.data32[0] = Atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(m_connection);
}
