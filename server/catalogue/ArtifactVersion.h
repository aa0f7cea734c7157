#pragma once

#include <string>
#include <vector>

// One licence as a POM names it.
struct CLicence
{
    std::string name;
    std::string url;

    bool operator==(const CLicence&) const = default;
};

// One archive of an artifact version: the main one (no classifier) or a classified one.
struct CArtifactArchive
{
    std::string classifier;
    std::string path;
    std::string sha1;
    std::string sha256;
    std::vector<std::string> classes;  // dotted top-level names, each once, in archive order
};

// A POM's project, as written or, once its parents and properties are applied, as Maven's
// effective model has it.
struct CProject
{
    std::string groupId;
    std::string artifactId;
    std::string version;
    std::string packaging;
    std::string name;
    std::string description;
    std::string url;
    std::string organization;  // its name
    std::vector<CLicence> licences;
};

// One catalogued version of a Maven artifact. Group, artifact and version come from the
// repository's layout (a snapshot's version is "1.0-SNAPSHOT"; Debian's POMs may say
// otherwise); the project from its POM.
struct CArtifactVersion
{
    std::string group;
    std::string artifact;
    std::string version;
    CProject project;
    std::string pom;  // empty when the version has none, or none that could be read
    std::vector<CArtifactArchive> archives;
};
