#include "CatalogueCommand.h"

#include <filesystem>

#include "CatalogueBuilder.h"
#include "CatalogueWriter.h"

bool CCatalogueCommand::Run(const CServerOptions& options, std::string& summary, std::string& error)
{
    CCatalogueBuilder::COptions folders{options.catalogueJars, options.catalogueRepositories, options.catalogueTests};
    if (folders.jarFolders.empty() && folders.mavenRepositories.empty()) {
        folders.jarFolders.push_back(kDefaultJars);
        std::error_code absent;
        if (std::filesystem::is_directory(kDefaultRepository, absent))
            folders.mavenRepositories.push_back(kDefaultRepository);
    }
    CCatalogueWriter writer(options.siteDir);
    CCatalogueBuilder builder(folders);
    if (!builder.Read(writer.SpoolPath(), error))
        return false;
    CCatalogueSummary counts = builder.Summary();
    if (!writer.Write(builder.Components(), counts, error))
        return false;
    summary = "catalogue of " + std::to_string(counts.components) + " components, " +
              std::to_string(counts.versions) + " versions, " + std::to_string(counts.archives) + " archives, " +
              std::to_string(counts.lookupClasses) + " class names, " + std::to_string(counts.fingerprints) +
              " class fingerprints; skipped " + std::to_string(counts.skippedArchives.size()) +
              " broken archives, " + std::to_string(counts.skippedPoms.size()) + " broken POMs, " +
              std::to_string(counts.emptyArchives) + " archives without classes, " +
              std::to_string(counts.pomOnlyVersions) + " POM-only versions, " +
              std::to_string(counts.aliasVersions) + " alias folders, " + std::to_string(counts.repeatedVersions) +
              " repeated versions, " + std::to_string(counts.skippedLinks) + " folder links, " +
              std::to_string(counts.unreadableRepositories.size()) + " unreadable folders";
    for (const std::string& path : counts.skippedArchives)
        summary += "\n  skipped archive " + path;
    for (const std::string& path : counts.skippedPoms)
        summary += "\n  skipped POM " + path;
    for (const std::string& path : counts.unreadableRepositories)
        summary += "\n  no folder " + path;
    return true;
}
