#pragma once

#include <string>
#include <utility>
#include <vector>

// Replacements that wait for the next start: a list beside the installation that the host
// applies before it loads anything else, the only "restart" a desktop program controls.
class CPendingRenames
{
public:
    explicit CPendingRenames(std::string listFile);

    // The list of the installation in directory installPath.
    static CPendingRenames ForInstallation(const std::string& installPath);

    // Replaces an earlier entry for the same target. False when the list cannot be written.
    bool Schedule(const std::string& from, const std::string& to);
    // Moves every scheduled file into place. An entry whose source is gone is dropped;
    // one that fails otherwise stays for the next start. Answers the number moved.
    int ApplyAll();

    std::vector<std::pair<std::string, std::string>> Entries() const;

private:
    bool Save(const std::vector<std::pair<std::string, std::string>>& entries) const;

    std::string m_listFile;
};
