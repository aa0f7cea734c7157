#pragma once

#include <string>

class CSite;
class CServerStore;
class CLookupDatabase;
class CFingerprintTable;

// The site's catalogue, lookup table and class fingerprints in the server's store: build-site
// loads them there so that every server behind a load balancer answers from the same data,
// whatever archives its own machine has. A store without them leaves the site's files in charge.
class CSiteData
{
public:
    static constexpr const char* kFingerprints = "lookup/fingerprints.txt";

    // Loads the site's catalogue (with its versions), lookup table and fingerprint table files
    // into the store, in place of what an earlier load put there; summary says what.
    static bool LoadIntoStore(const CSite& site, CServerStore& store, std::string& summary, std::string& error);

    // The lookup rows and fingerprints from the store when it holds site data, with its
    // catalogue put in place of the site's file; otherwise the site's files. The fingerprints
    // come from the site's file also when the store's load was made before it kept them.
    // source says where each came from.
    static bool Apply(const CSite& site, CServerStore& store, CLookupDatabase& lookup, CFingerprintTable& fingerprints,
                      std::string& source, std::string& error);
};
