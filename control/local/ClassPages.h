#pragma once

#include <string>
#include <vector>

#include "JavadocCache.h"

// The local API page of a class; file is empty when this machine has none, and note then
// says why an archive of pages that was found could not be used.
struct CClassPage
{
    std::string file;
    std::string note;
};

// The API page of a top-level class (dotted name) of a component found in these archives:
// from a "-javadoc.jar" beside an archive, else from the pages the Debian package that
// installed an archive has below docRoot (its -doc package puts them there).
CClassPage FindClassPage(const std::string& className, const std::vector<std::string>& archives,
                         CJavadocCache& cache, const std::string& docRoot = "/usr/share/doc");
// The same for a package's page ("" for the unnamed package).
CClassPage FindPackagePage(const std::string& packageName, const std::vector<std::string>& archives,
                           CJavadocCache& cache, const std::string& docRoot = "/usr/share/doc");
