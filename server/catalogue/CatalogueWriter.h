#pragma once

#include <string>
#include <vector>

#include "CatalogueBuilder.h"

// Writes the catalogue's files into a site: the components with their versions
// (stores/components/vendors/components.bnd), the lookup table of class names
// (lookup/classes.txt), the table of class fingerprints (lookup/fingerprints.txt, made from
// the builder's spool without holding it in memory), and the catalogue's counts in site.xml.
// Each file is written beside its place and renamed into it, so a reader sees the old file or
// the new one, never a part.
class CCatalogueWriter
{
public:
    explicit CCatalogueWriter(std::string siteDir);

    // Where the builder spools the fingerprints.
    std::string SpoolPath() const;

    // Every file, or false and a message; summary gains the lookup and fingerprint counts.
    bool Write(const std::vector<CCatalogueComponent>& components, CCatalogueSummary& summary, std::string& error);

private:
    bool WriteComponents(const std::vector<CCatalogueComponent>& components, std::string& error);
    bool WriteClasses(const std::vector<CCatalogueComponent>& components, size_t& rows, std::string& error);
    bool WriteFingerprints(const std::vector<CCatalogueComponent>& components, size_t& rows, std::string& error);
    bool WriteCounts(size_t components, size_t classes, std::string& error);

    std::string m_siteDir;
};
