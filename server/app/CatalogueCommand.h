#pragma once

#include <string>

#include "ServerOptions.h"

// vantrel-server --build-catalogue: the site's component catalogue, lookup table and class
// fingerprints written from plain folders of archives and Maven-layout repositories.
class CCatalogueCommand
{
public:
    // With neither folders nor repositories given, /usr/share/java and, when it exists,
    // /usr/share/maven-repo. Broken archives and POMs are counted in the summary, never
    // fatal; false only when the files cannot be written.
    static bool Run(const CServerOptions& options, std::string& summary, std::string& error);

    static constexpr const char* kDefaultJars = "/usr/share/java";
    static constexpr const char* kDefaultRepository = "/usr/share/maven-repo";
};
