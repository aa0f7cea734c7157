#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

class CLookupConnection;

// A catalogued version that holds a class with a given fingerprint.
struct CFingerprintHit
{
    std::string scid;
    std::string version;
};

// The lookup server as the matchers ask it: the SCIDs of class names and the versions of
// class fingerprints, each distinct one asked once in a scan, many at a time. A connection
// the server ended is made once more.
class CLookupService
{
public:
    // reconnect: makes the connection anew after it failed; false when it cannot.
    CLookupService(CLookupConnection& connection, std::function<bool()> reconnect);

    // Looks up the names not asked before. False when the server could not answer.
    bool LookUp(const std::vector<std::string>& names);
    // The SCIDs of a name looked up; empty for one that found nothing or was not asked.
    const std::vector<std::string>& ScidsOf(const std::string& name) const;

    // Looks up the versions of the fingerprints not asked before. False when the server
    // could not answer.
    bool LookUpFingerprints(const std::vector<uint64_t>& fingerprints);
    // The versions holding a class with this fingerprint, in the server's order; empty for
    // one the catalogue does not know or that was not asked.
    const std::vector<CFingerprintHit>& VersionsOf(uint64_t fingerprint) const;

    // One name by itself, its packages counted first, as the CLASSPATH scan asks.
    void FindScids(const std::string& name, std::vector<std::string>& scids);

    // Distinct names looked up so far; may be read while the scan runs.
    size_t GetNamesLookedUp() const { return m_namesLookedUp; }

private:
    // Runs ask, and once more on a new connection when it failed.
    bool WithReconnect(const std::function<bool()>& ask);

    CLookupConnection& m_connection;
    std::function<bool()> m_reconnect;
    std::map<std::string, std::vector<std::string>> m_scidsOf;
    std::unordered_map<uint64_t, std::vector<CFingerprintHit>> m_versionsOf;
    std::atomic<size_t> m_namesLookedUp{0};
};
