#include "ProgressLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "FileUtil.h"

CProgressLine::CProgressLine(int fd, bool enabled) : m_fd(fd), m_enabled(enabled && ::isatty(fd) == 1) {}

CProgressLine::~CProgressLine() { Clear(); }

void CProgressLine::Show(const std::string& text)
{
    if (!m_enabled)
        return;
    winsize size{};
    size_t columns = 80;
    if (::ioctl(m_fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
        columns = size.ws_col;
    // Cut by characters, never inside one.
    std::string line;
    size_t shown = 0;
    for (char c : text) {
        const bool starts = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        if (starts && ++shown >= columns)
            break;
        line += c;
    }
    WriteAll(m_fd, "\r" + line + "\033[K");
    m_dirty = true;
}

void CProgressLine::Clear()
{
    if (m_dirty)
        WriteAll(m_fd, "\r\033[K");
    m_dirty = false;
}
