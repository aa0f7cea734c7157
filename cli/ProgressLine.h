#pragma once

#include <string>

// One line on a terminal, rewritten in place as a long run goes on, and wiped when it ends.
// Without a terminal it writes nothing.
class CProgressLine
{
public:
    // fd: where the line goes (standard error); enabled: whether it may be shown at all.
    CProgressLine(int fd, bool enabled);
    ~CProgressLine();

    bool IsShown() const { return m_enabled; }
    // Replaces the line, cut to the terminal's width so that it never wraps.
    void Show(const std::string& text);
    void Clear();

private:
    int m_fd;
    bool m_enabled;
    bool m_dirty = false;
};
