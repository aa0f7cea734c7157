#include "ClientRegistry.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

#include "FileUtil.h"

namespace
{
std::string OneField(const std::string& text)
{
    std::string out;
    for (char c : text.substr(0, 256))
        out += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
    return out;
}

std::string UtcNow()
{
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}
}  // namespace

bool CClientRegistry::IsClientId(const std::string& text)
{
    if (text.empty() || text.size() > 18 || text == "0")
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return text[0] != '0';
}

bool CClientRegistry::Open(const std::string& stateDir, std::string& error)
{
    m_path = stateDir + "/clients.txt";
    std::string text;
    CReadResult read = ReadWholeFile(m_path, text, 64 * 1024 * 1024);
    if (read == CReadResult::Failed) {
        error = "cannot read " + m_path;
        return false;
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            break;  // a line cut short by a crash is not a registration
        std::string id = text.substr(start, text.find('\t', start) - start);
        if (IsClientId(id) && id.size() < 19)
            m_next = std::max<uint64_t>(m_next, std::stoull(id) + 1);
        start = end + 1;
    }
    return true;
}

std::string CClientRegistry::Register(const std::string& clientId, const std::string& email, const std::string& version)
{
    std::lock_guard lock(m_mutex);
    std::string id = IsClientId(clientId) ? clientId : std::to_string(m_next++);
    Append(id + "\t" + OneField(email) + "\t" + OneField(version) + "\t" + UtcNow() + "\n");
    return id;
}

bool CClientRegistry::Append(const std::string& line)
{
    int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size()) && ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}
