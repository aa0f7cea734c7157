#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

// Bug reports and feature requests sent from the support pages, one XML file each in
// "reports/" of the state directory, written whole or not at all.
class CReportStore
{
public:
    struct CReport
    {
        int number = 0;
        std::string kind;  // "bug" or "feature"
        std::map<std::string, std::string> fields;
    };

    bool Open(const std::string& stateDir, std::string& error);

    // The report's number, 0 when it could not be stored.
    int Store(const std::string& kind, const std::map<std::string, std::string>& fields);
    // Reports whose "email" field is email, newest first.
    std::vector<CReport> ReportsOf(const std::string& email);

    static constexpr size_t kMaxField = 4000;

private:
    std::mutex m_mutex;
    std::string m_folder;
    int m_next = 1;
};
