#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

class CLookupConnection;

// The lookup server as the matchers ask it: the SCIDs of class names, each distinct name
// asked once in a scan, many at a time. A connection the server ended is made once more.
class CLookupService
{
public:
    // reconnect: makes the connection anew after it failed; false when it cannot.
    CLookupService(CLookupConnection& connection, std::function<bool()> reconnect);

    // Looks up the names not asked before. False when the server could not answer.
    bool LookUp(const std::vector<std::string>& names);
    // The SCIDs of a name looked up; empty for one that found nothing or was not asked.
    const std::vector<std::string>& ScidsOf(const std::string& name) const;

    // One name by itself, its packages counted first, as the CLASSPATH scan asks.
    void FindScids(const std::string& name, std::vector<std::string>& scids);

    // Distinct names looked up so far; may be read while the scan runs.
    size_t GetNamesLookedUp() const { return m_namesLookedUp; }

private:
    CLookupConnection& m_connection;
    std::function<bool()> m_reconnect;
    std::map<std::string, std::vector<std::string>> m_scidsOf;
    std::atomic<size_t> m_namesLookedUp{0};
};
