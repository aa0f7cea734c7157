// window-probe: starts a program on the X display in DISPLAY and reports the time from the
// start to the mapping of the program's first top-level window, then, after a settling
// time, the memory of the program's whole process tree (resident and proportional sizes
// summed over the program and every process below it). Ends the program afterwards.
//
//   window-probe [--settle SECONDS] [--timeout SECONDS] PROGRAM [ARGUMENT...]
//
// Prints one line: "mapped_ms=N rss_kib=N pss_kib=N processes=N". Exit code 0 when the
// window appeared, 1 when it did not in time, 2 for a bad command line.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <xcb/xcb.h>

namespace
{
using Clock = std::chrono::steady_clock;

struct CMemory
{
    long long rss = 0;
    long long pss = 0;
    int processes = 0;
};

xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection,
                              xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
                              nullptr),
        &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

long long WindowPid(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t pidAtom)
{
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr),
        &std::free);
    if (!reply || xcb_get_property_value_length(reply.get()) != 4)
        return -1;
    return *static_cast<std::uint32_t*>(xcb_get_property_value(reply.get()));
}

// Parent of every process, from /proc/<pid>/stat.
std::map<pid_t, pid_t> Parents()
{
    std::map<pid_t, pid_t> parents;
    DIR* proc = opendir("/proc");
    if (!proc)
        return parents;
    while (dirent* entry = readdir(proc)) {
        pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid <= 0)
            continue;
        std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        size_t close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(text.substr(close + 2));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        parents[pid] = parent;
    }
    closedir(proc);
    return parents;
}

CMemory TreeMemory(pid_t root)
{
    std::map<pid_t, pid_t> parents = Parents();
    std::set<pid_t> tree{root};
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& [pid, parent] : parents)
            if (tree.count(parent) && tree.insert(pid).second)
                grew = true;
    }
    CMemory memory;
    for (pid_t pid : tree) {
        std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
        bool counted = false;
        for (std::string line; std::getline(rollup, line);) {
            std::istringstream fields(line);
            std::string name;
            long long value = 0;
            if (!(fields >> name >> value))
                continue;  // the first line names the range
            if (name == "Rss:")
                memory.rss += value, counted = true;
            else if (name == "Pss:")
                memory.pss += value;
        }
        memory.processes += counted ? 1 : 0;
    }
    return memory;
}

void EndTree(pid_t pid)
{
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}
}  // namespace

int main(int argc, char** argv)
{
    double settle = 5;
    double timeout = 60;
    int first = 1;
    while (first + 1 < argc && argv[first][0] == '-' && argv[first][1] == '-') {
        std::string option = argv[first];
        if (option == "--settle")
            settle = std::atof(argv[first + 1]);
        else if (option == "--timeout")
            timeout = std::atof(argv[first + 1]);
        else
            break;
        first += 2;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: window-probe [--settle SECONDS] [--timeout SECONDS] PROGRAM [ARGUMENT...]\n");
        return 2;
    }

    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "window-probe: cannot open the display\n");
        return 2;
    }
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    xcb_atom_t pidAtom = Atom(connection, "_NET_WM_PID");
    xcb_flush(connection);

    const Clock::time_point start = Clock::now();
    pid_t child = fork();
    if (child == 0) {
        execvp(argv[first], argv + first);
        _exit(127);
    }

    long long mappedMs = -1;
    const Clock::time_point deadline = start + std::chrono::milliseconds(static_cast<long long>(timeout * 1000));
    while (mappedMs < 0 && Clock::now() < deadline) {
        pollfd fd{xcb_get_file_descriptor(connection), POLLIN, 0};
        poll(&fd, 1, 50);
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY) {
                auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                if (mappedMs < 0 && !map->override_redirect && WindowPid(connection, map->window, pidAtom) == child)
                    mappedMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            }
            std::free(event);
        }
        if (waitpid(child, nullptr, WNOHANG) == child) {
            std::fprintf(stderr, "window-probe: %s ended before showing a window\n", argv[first]);
            return 1;
        }
    }
    if (mappedMs < 0) {
        EndTree(child);
        std::fprintf(stderr, "window-probe: no window of %s within %.0f s\n", argv[first], timeout);
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long long>(settle * 1000)));
    CMemory memory = TreeMemory(child);
    EndTree(child);
    xcb_disconnect(connection);
    std::printf("mapped_ms=%lld rss_kib=%lld pss_kib=%lld processes=%d\n", mappedMs, memory.rss, memory.pss,
                memory.processes);
    return 0;
}
