#pragma once

#include <string>

class CSite;
class CServerStore;
class CLookupDatabase;

// The site's catalogue and lookup table in the server's store: build-site loads them there
// so that every server behind a load balancer answers from the same data, whatever archives
// its own machine has. A store without them leaves the site's files in charge.
class CSiteData
{
public:
    // Loads the site's catalogue and lookup table files into the store; summary says what.
    static bool LoadIntoStore(const CSite& site, CServerStore& store, std::string& summary, std::string& error);

    // The lookup rows from the store when it holds site data, with its catalogue put in place
    // of the site's file; otherwise the site's lookup table file. source says which.
    static bool Apply(const CSite& site, CServerStore& store, CLookupDatabase& lookup, std::string& source,
                      std::string& error);
};
