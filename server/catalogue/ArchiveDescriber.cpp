#include "ArchiveDescriber.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "CatalogueMap.h"
#include "PomReader.h"

namespace
{
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

// Runs of blanks made one space, as display texts are shown.
std::string Tidy(std::string_view text)
{
    std::string tidy;
    bool blank = false;
    for (char c : text) {
        if (IsBlank(c)) {
            blank = !tidy.empty();
            continue;
        }
        if (blank)
            tidy += ' ';
        blank = false;
        tidy += c;
    }
    return tidy;
}

// The first value that is not blank, trimmed.
std::string First(std::initializer_list<std::string_view> values)
{
    for (std::string_view value : values)
        if (std::string trimmed = Trimmed(value); !trimmed.empty())
            return trimmed;
    return {};
}

// A POM value as written; one that still refers to a property says nothing.
std::string Written(const std::string& value) { return value.find("${") == std::string::npos ? value : std::string(); }

// The lines of a manifest's or a properties file's text, whatever their ends.
std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find_first_of("\r\n");
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1));
    }
    return lines;
}

// A value of a pom.properties file: "key=value", "key: value" or "key value"; "#" and "!"
// start comments and a final backslash continues a line.
std::string Property(const std::string& properties, std::string_view key)
{
    std::string logical;
    std::string found;
    const std::vector<std::string_view> lines = Lines(properties);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t' || line.front() == '\f'))
            line.remove_prefix(1);
        if (logical.empty() && (line.empty() || line.front() == '#' || line.front() == '!'))
            continue;
        logical += line;
        if (!logical.empty() && logical.back() == '\\' && i + 1 < lines.size()) {
            logical.pop_back();
            continue;
        }
        const size_t end = logical.find_first_of("=: \t\f");
        if (logical.substr(0, end) == key && found.empty()) {
            std::string_view value = end == std::string::npos ? std::string_view() : std::string_view(logical).substr(end);
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t' || value.front() == '\f'))
                value.remove_prefix(1);
            if (!value.empty() && (value.front() == '=' || value.front() == ':'))
                value.remove_prefix(1);
            found = Trimmed(value);
        }
        logical.clear();
    }
    return found;
}

// An attribute of the manifest's main section, by its name in any case; continuation lines
// start with a blank.
std::string ManifestValue(const std::string& manifest, std::string_view name)
{
    std::string header;
    std::string found;
    auto take = [&header, &found, name] {
        const size_t colon = header.find(": ");
        if (found.empty() && colon == name.size() &&
            std::equal(name.begin(), name.end(), header.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            }))
            found = header.substr(colon + 2);
        header.clear();
    };
    for (std::string_view line : Lines(manifest)) {
        if (line.empty())
            break;  // the main section ends
        if (line.front() == ' ') {
            header += line.substr(1);
            continue;
        }
        take();
        header = line;
    }
    take();
    return found;
}

std::optional<CPom> PomOf(const std::string& xml) { return xml.empty() ? std::nullopt : CPomReader::Parse(xml); }

std::optional<CPom> PomAt(const std::string& path)
{
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::string content(CPomReader::kMaxPomBytes + 1, '\0');
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<size_t>(in.gcount()));
    return in.bad() || content.size() > CPomReader::kMaxPomBytes ? std::nullopt : PomOf(content);
}

// "name-1.2.jar" as ("name", "1.2"): a hyphen, then a digit, then letters, digits and ._+~-.
bool VersionedName(const std::string& fileName, std::string& base, std::string& version)
{
    if (!fileName.ends_with(".jar"))
        return false;
    const std::string_view stem = std::string_view(fileName).substr(0, fileName.size() - 4);
    for (size_t dash = stem.find('-', 1); dash != std::string_view::npos; dash = stem.find('-', dash + 1)) {
        const std::string_view rest = stem.substr(dash + 1);
        auto versionChar = [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '+' || c == '~' ||
                   c == '-';
        };
        if (rest.empty() || !std::isdigit(static_cast<unsigned char>(rest.front())) ||
            !std::all_of(rest.begin(), rest.end(), versionChar))
            continue;
        base = stem.substr(0, dash);
        version = rest;
        return true;
    }
    return false;
}

std::string DefaultDescription(const std::string& name, const std::string& fileName)
{
    return name + ", a Java library (" + fileName + ").";
}
}  // namespace

CCatalogueEntry CArchiveDescriber::Describe(const std::string& fileName, const CArchiveMetadata& metadata,
                                            const std::string& repositoryPom, const std::string& repositoryVersion)
{
    std::optional<CPom> pom = PomOf(metadata.pomXml);
    const bool inRepository = !repositoryPom.empty();
    if (!pom && inRepository)
        pom = PomAt(repositoryPom);
    const CProject none;
    const CProject& project = pom ? pom->project : none;
    const std::string& properties = metadata.pomProperties;
    const std::string& manifest = metadata.manifest;
    auto attribute = [&manifest](std::string_view name) { return ManifestValue(manifest, name); };

    std::string base, fileVersion;
    if (!VersionedName(fileName, base, fileVersion))
        base = fileName.ends_with(".jar") ? fileName.substr(0, fileName.size() - 4) : fileName;
    CCatalogueEntry entry;
    entry.artifactId = First({Property(properties, "artifactId"), Written(project.artifactId), base});
    const std::string group = First({Property(properties, "groupId"), Written(project.groupId),
                                     pom ? Written(pom->parentGroupId) : std::string()});
    entry.artifact = group.empty() ? entry.artifactId : group + ":" + entry.artifactId;
    entry.version = First({Property(properties, "version"), inRepository ? repositoryVersion : std::string(),
                           attribute("Implementation-Version"), attribute("Bundle-Version"), fileVersion});
    const std::string name = First({Written(project.name), attribute("Bundle-Name"), attribute("Implementation-Title"),
                                    entry.artifactId});
    entry.name = Tidy(name);
    entry.vendor = Tidy(First({Written(project.organization), attribute("Bundle-Vendor"),
                               attribute("Implementation-Vendor"), attribute("Specification-Vendor"),
                               CCatalogueMap::PublisherOf(group.empty() ? entry.artifactId : group), "Unknown vendor"}));
    entry.description = Tidy(First({Written(project.description), attribute("Bundle-Description"),
                                    DefaultDescription(name, fileName)}));
    entry.url = First({Written(project.url), attribute("Bundle-DocURL")});
    entry.archive = fileName;
    entry.licences = project.licences;
    return entry;
}

CCatalogueEntry CArchiveDescriber::Describe(const CArtifactVersion& version, const std::string& fileName)
{
    const CProject& project = version.project;
    CCatalogueEntry entry;
    entry.artifact = version.group + ":" + version.artifact;
    entry.artifactId = version.artifact;
    entry.version = version.version;
    const std::string name = First({Written(project.name), version.artifact});
    entry.name = Tidy(name);
    entry.vendor = Tidy(First({Written(project.organization), CCatalogueMap::PublisherOf(version.group), "Unknown vendor"}));
    entry.description = Tidy(First({Written(project.description), DefaultDescription(name, fileName)}));
    entry.url = Written(project.url);
    entry.archive = fileName;
    entry.licences = project.licences;
    return entry;
}
