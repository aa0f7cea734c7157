#pragma once

#include <string>
#include <string_view>

// What an archive says of itself: the Maven coordinates of its pom.properties, the main
// section of its MANIFEST.MF, and the name and version its file name gives
// ("name-version.jar"). Fields it does not give stay empty.
class CArchiveMetadata
{
public:
    // Larger metadata files are not read.
    static constexpr size_t kMaxSize = 256 * 1024;

    // A pom.properties file (Java properties: "key=value", "key: value", '#' and '!' comments).
    void ReadPomProperties(std::string_view text);
    // A MANIFEST.MF; only its main section counts, continuation lines joined.
    void ReadManifest(std::string_view text);
    // The last part of an archive's path; a version only when a '-' before a digit opens it.
    void ReadFileName(std::string_view path);

    bool HasPom() const { return !m_artifact.empty(); }
    const std::string& GetGroup() const { return m_group; }
    const std::string& GetArtifact() const { return m_artifact; }
    const std::string& GetPomVersion() const { return m_pomVersion; }

    // The manifest's name for the archive: Implementation-Title, else Bundle-Name, else
    // Bundle-SymbolicName (without its directives), else Automatic-Module-Name.
    std::string GetManifestName() const;
    // Implementation-Version, else Bundle-Version.
    std::string GetManifestVersion() const;
    const std::string& GetManifestVendor() const { return m_implementationVendor; }

    const std::string& GetFileName() const { return m_fileName; }
    const std::string& GetFileVersion() const { return m_fileVersion; }

private:
    std::string m_group;
    std::string m_artifact;
    std::string m_pomVersion;
    std::string m_implementationTitle;
    std::string m_implementationVersion;
    std::string m_implementationVendor;
    std::string m_bundleName;
    std::string m_bundleSymbolicName;
    std::string m_bundleVersion;
    std::string m_automaticModuleName;
    std::string m_fileName;
    std::string m_fileVersion;
};
