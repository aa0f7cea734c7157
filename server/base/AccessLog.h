#pragma once

#include <cstdio>
#include <mutex>
#include <string>

// One line per request in the common log format, plus the time taken, so that a log can be
// read by the usual tools. Lines from many threads never mix.
class CAccessLog
{
public:
    CAccessLog() = default;
    ~CAccessLog();
    CAccessLog(const CAccessLog&) = delete;
    CAccessLog& operator=(const CAccessLog&) = delete;

    // path "-" writes to standard error; an empty path logs nothing.
    bool Open(const std::string& path, std::string& error);

    void LogHttp(const std::string& client, const std::string& method, const std::string& target, int status,
                 size_t bytes, double milliseconds);
    void LogLookup(const std::string& client, const std::string& request, const std::string& answer);

private:
    void Write(const std::string& line);

    std::mutex m_mutex;
    FILE* m_file = nullptr;
    bool m_ownsFile = false;
};
