#include "AccessLog.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include <sys/stat.h>

namespace
{
std::string Now()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[64];
    std::strftime(text, sizeof text, "%d/%b/%Y:%H:%M:%S %z", &local);
    return text;
}

// A request line may carry anything; the log keeps one line per request.
std::string Printable(const std::string& text)
{
    std::string out;
    for (unsigned char c : text.substr(0, 2048)) {
        if (c < 0x20 || c == 0x7f || c == '"') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}
}  // namespace

CAccessLog::~CAccessLog()
{
    if (m_ownsFile && m_file)
        std::fclose(m_file);
}

bool CAccessLog::Open(const std::string& path, std::string& error)
{
    if (path.empty())
        return true;
    if (path == "-") {
        m_file = stderr;
        return true;
    }
    m_file = std::fopen(path.c_str(), "a");
    if (!m_file) {
        error = "cannot open the access log " + path + ": " + std::strerror(errno);
        return false;
    }
    m_ownsFile = true;
    return true;
}

void CAccessLog::LogHttp(const std::string& client, const std::string& method, const std::string& target, int status,
                         size_t bytes, double milliseconds)
{
    char tail[96];
    std::snprintf(tail, sizeof tail, "\" %d %zu %.2fms", status, bytes, milliseconds);
    Write(client + " - - [" + Now() + "] \"" + Printable(method) + " " + Printable(target) + " HTTP/1.1" + tail);
}

void CAccessLog::LogLookup(const std::string& client, const std::string& request, const std::string& answer)
{
    Write(client + " - - [" + Now() + "] \"LOOKUP " + Printable(request) + "\" " + Printable(answer));
}

void CAccessLog::Write(const std::string& line)
{
    std::lock_guard lock(m_mutex);
    if (!m_file)
        return;
    std::fputs(line.c_str(), m_file);
    std::fputc('\n', m_file);
    std::fflush(m_file);
}
