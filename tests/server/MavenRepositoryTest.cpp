#include "MavenCatalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include <sys/stat.h>

#include "ArchiveDescriber.h"
#include "CatalogueBuilder.h"
#include "CatalogueWriter.h"
#include "ClassFingerprint.h"
#include "FileDigest.h"
#include "PomReader.h"
#include "XmlAnswer.h"
#include "support/TestArchives.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace
{
std::string Put(const CTempDir& root, const std::string& path, const std::string& text)
{
    fs::create_directories(fs::path(root.File(path)).parent_path());
    WriteFileText(root.File(path), text);
    return root.File(path);
}

std::string Jar(const CTempDir& root, const std::string& path, const std::vector<std::string>& classes)
{
    CEntries entries{{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\n"}};
    for (const std::string& name : classes)
        entries.emplace_back(name + ".class", ClassFileBytes(name));
    fs::create_directories(fs::path(root.File(path)).parent_path());
    MakeArchiveOf(root.File(path), entries);
    return root.File(path);
}

std::string Pom(const std::string& body)
{
    return "<?xml version=\"1.0\"?>\n<project xmlns=\"http://maven.apache.org/POM/4.0.0\">\n"
           "<modelVersion>4.0.0</modelVersion>\n" + body + "</project>\n";
}

std::string Parent(const std::string& group, const std::string& artifact, const std::string& version)
{
    return "<parent><groupId>" + group + "</groupId><artifactId>" + artifact + "</artifactId><version>" + version +
           "</version></parent>";
}
}  // namespace

// Two repositories built in the test: versions inheriting from parents in either one, a
// snapshot with two builds, classified archives, broken files, Debian's alias folder,
// links round a loop and out of the tree, and a version found in both.
TEST(MavenRepository, CataloguesEveryVersionOnce)
{
    CTempDir first, second, outside;
    const std::string apache = "<licenses><license><name>Apache License 2.0</name>"
                               "<url>https://www.apache.org/licenses/LICENSE-2.0</url></license></licenses>";
    Put(first, "org/acme/acme-parent/5/acme-parent-5.pom",
        Pom("<groupId>org.acme</groupId><artifactId>acme-parent</artifactId><version>5</version>"
            "<packaging>pom</packaging><name>Acme Parent</name>\n<description>  Acme's\n   parsing tools"
            "</description><url>https://acme.org/</url>" + apache + "<properties><lib.name>Parser</lib.name>"
            "</properties>"));
    const std::string parser1Pom = Put(first, "org/acme/parser/1.0/parser-1.0.pom",
        Pom(Parent("org.acme", "acme-parent", "5") + "<artifactId>parser</artifactId><version>1.0</version>"
            "<name>${lib.name} ${project.version}</name>"));
    const std::string parser1 = Jar(first, "org/acme/parser/1.0/parser-1.0.jar", {"com/acme/Parser", "com/acme/Parser$Node"});
    const std::string parser1Tests = Jar(first, "org/acme/parser/1.0/parser-1.0-tests.jar", {"com/acme/ParserTest"});
    Jar(first, "org/acme/parser/1.0/parser-1.0-sources.jar", {"com/acme/Sources"});
    Jar(first, "org/acme/parser/1.0/parser-1.0-javadoc.jar", {"com/acme/Javadoc"});
    Put(first, "org/acme/parser/2.0/parser-2.0.pom",
        Pom(Parent("org.acme", "acme-parent", "5") + "<artifactId>parser</artifactId><version>2.0</version>"
            "<url>https://acme.org/parser/${pom.version}</url>"));
    const std::string parser2 = Jar(first, "org/acme/parser/2.0/parser-2.0.jar", {"com/acme/Parser", "com/acme/Lexer"});
    // Debian's alias: its own POM and a link to the real version's archive.
    Put(first, "org/acme/parser/debian/parser-debian.pom",
        Pom("<groupId>org.acme</groupId><artifactId>parser</artifactId><version>debian</version>"));
    fs::create_symlink("../2.0/parser-2.0.jar", first.File("org/acme/parser/debian/parser-debian.jar"));
    // And its generic version, the same file again; a generic name with a file of its own is a version.
    Put(first, "org/acme/parser/2.x/parser-2.x.pom", Pom("<groupId>org.acme</groupId><artifactId>parser</artifactId>"));
    fs::create_symlink("../2.0/parser-2.0.jar", first.File("org/acme/parser/2.x/parser-2.x.jar"));
    const std::string generic = Jar(first, "org/acme/parser/1.x/parser-1.x.jar", {"com/acme/Generic"});
    const std::string snapshot = "org/acme/parser/3.0-SNAPSHOT/parser-3.0-";
    Jar(first, snapshot + "20240101.120000-1.jar", {"com/acme/Old"});
    Put(first, snapshot + "20240101.120000-1.pom", Pom("<groupId>org.acme</groupId><artifactId>parser</artifactId>"
                                                       "<version>3.0-SNAPSHOT</version><name>Old build</name>"));
    const std::string snapshotJar = Jar(first, snapshot + "20240202.080000-2.jar", {"com/acme/New"});
    const std::string snapshotPom = Put(first, snapshot + "20240202.080000-2.pom",
        Pom("<groupId>org.acme</groupId><artifactId>parser</artifactId><version>3.0-SNAPSHOT</version>"
            "<name>Nightly</name>"));
    Put(first, "org/acme/parser/3.0-SNAPSHOT/maven-metadata.xml", "<metadata/>");
    Put(first, "org/acme/broken/1.0/broken-1.0.pom", Pom("<groupId>org.acme</groupId><artifactId>broken</artifactId>"));
    const std::string brokenJar = Put(first, "org/acme/broken/1.0/broken-1.0.jar", "PK\3\4 not an archive");
    const std::string badPom = Put(first, "org/acme/badpom/1.0/badpom-1.0.pom", "<project><name>unclosed</project>");
    Jar(first, "org/acme/badpom/1.0/badpom-1.0.jar", {"com/acme/Bad"});
    // Pipes under an archive's and a POM's name are no files to wait on.
    fs::create_directories(first.File("org/acme/fifo/1.0"));
    const std::string fifoPom = first.File("org/acme/fifo/1.0/fifo-1.0.pom");
    const std::string fifoJar = first.File("org/acme/fifo/1.0/fifo-1.0.jar");
    ASSERT_EQ(::mkfifo(fifoPom.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(fifoJar.c_str(), 0600), 0);
    Put(first, "org/acme/widget/1.0/widget-1.0.pom",
        Pom(Parent("org.acme", "widget-parent", "7") + "<artifactId>widget</artifactId><version>1.0</version>"
            "<name>Widget</name><description>${project.groupId} widget ${pom.version}</description>"));
    const std::string widget = Jar(first, "org/acme/widget/1.0/widget-1.0.jar", {"com/acme/Widget"});
    fs::create_directory_symlink(".", first.File("org/acme/loop"));
    Jar(outside, "com/elsewhere/thing/1/thing-1.jar", {"com/elsewhere/Thing"});
    fs::create_directory_symlink(outside.Path() + "/com", first.File("org/outside"));

    Put(second, "org/acme/widget-parent/7/widget-parent-7.pom",
        Pom("<groupId>org.acme</groupId><artifactId>widget-parent</artifactId><version>7</version>"
            "<packaging>pom</packaging><licenses><license><name>MIT</name></license></licenses>"));
    Put(second, "org/acme/parser/1.0/parser-1.0.pom",
        Pom("<groupId>org.acme</groupId><artifactId>parser</artifactId><version>1.0</version><name>Again</name>"));
    Jar(second, "org/acme/parser/1.0/parser-1.0.jar", {"com/acme/Again"});
    // The very file of a version in the first repository is a repetition, not an alias.
    fs::create_directories(second.File("org/acme/parser/2.0"));
    fs::create_symlink(parser2, second.File("org/acme/parser/2.0/parser-2.0.jar"));

    std::map<std::string, std::map<std::string, std::string>> classFiles;  // archive -> entry -> bytes
    CMavenCatalogue catalogue({first.Path(), second.Path(), first.File("missing")}, {});
    catalogue.Read([&classFiles](const std::string& archive, const std::string& entry, std::string_view bytes) {
        classFiles[archive][entry] = bytes;
    });

    const std::vector<CLicence> apacheLicence{{"Apache License 2.0", "https://www.apache.org/licenses/LICENSE-2.0"}};
    const struct
    {
        std::string coordinates, packaging, name, description, url;
        std::vector<CLicence> licences;
        std::string pom, archive;
        std::vector<std::string> classes;
    } expected[] = {
        {"org.acme:badpom:1.0", "jar", "", "", "", {}, "", first.File("org/acme/badpom/1.0/badpom-1.0.jar"),
         {"com.acme.Bad"}},
        {"org.acme:parser:1.0", "jar", "Parser 1.0", "Acme's parsing tools", "https://acme.org/", apacheLicence,
         parser1Pom, parser1, {"com.acme.Parser"}},
        {"org.acme:parser:1.x", "jar", "", "", "", {}, "", generic, {"com.acme.Generic"}},
        // The name is the POM's own, as in Maven's effective model; url and licences are inherited.
        {"org.acme:parser:2.0", "jar", "", "Acme's parsing tools", "https://acme.org/parser/2.0", apacheLicence,
         first.File("org/acme/parser/2.0/parser-2.0.pom"), parser2, {"com.acme.Parser", "com.acme.Lexer"}},
        {"org.acme:parser:3.0-SNAPSHOT", "jar", "Nightly", "", "", {}, snapshotPom, snapshotJar, {"com.acme.New"}},
        {"org.acme:widget:1.0", "jar", "Widget", "org.acme widget 1.0", "", {{"MIT", ""}},
         first.File("org/acme/widget/1.0/widget-1.0.pom"), widget, {"com.acme.Widget"}},
    };
    const std::vector<CArtifactVersion>& versions = catalogue.Versions();
    ASSERT_EQ(versions.size(), std::size(expected));
    for (size_t i = 0; i < versions.size(); ++i) {
        const CArtifactVersion& version = versions[i];
        const auto& want = expected[i];
        SCOPED_TRACE(want.coordinates);
        EXPECT_EQ(version.group + ":" + version.artifact + ":" + version.version, want.coordinates);
        EXPECT_EQ(version.project.packaging, want.packaging);
        EXPECT_EQ(version.project.name, want.name);
        EXPECT_EQ(version.project.description, want.description);
        EXPECT_EQ(version.project.url, want.url);
        EXPECT_EQ(version.project.licences, want.licences);
        EXPECT_EQ(version.pom, want.pom);
        ASSERT_EQ(version.archives.size(), 1u);
        const CArtifactArchive& archive = version.archives[0];
        EXPECT_EQ(archive.classifier, "");
        EXPECT_EQ(archive.path, want.archive);
        EXPECT_EQ(archive.sha1, Sha1Hex(want.archive));
        EXPECT_EQ(archive.sha256, Sha256Hex(want.archive));
        EXPECT_EQ(archive.sha1.size(), 40u);
        EXPECT_EQ(archive.classes, want.classes);
    }
    // Every class file of a catalogued archive reached the sink, inner classes included.
    EXPECT_EQ(classFiles[parser1], (std::map<std::string, std::string>{
                                       {"com/acme/Parser$Node.class", ClassFileBytes("com/acme/Parser$Node")},
                                       {"com/acme/Parser.class", ClassFileBytes("com/acme/Parser")}}));
    EXPECT_EQ(classFiles.count(snapshotJar), 1u);
    EXPECT_EQ(classFiles.count(parser1Tests), 0u);
    EXPECT_EQ(classFiles.count(second.File("org/acme/parser/1.0/parser-1.0.jar")), 0u);

    const CCatalogueSummary& summary = catalogue.Summary();
    EXPECT_EQ(summary.versions, 6u);
    EXPECT_EQ(summary.archives, 6u);
    EXPECT_EQ(summary.classes, 7u);
    EXPECT_EQ(summary.aliasVersions, 2u);
    EXPECT_EQ(summary.pomOnlyVersions, 2u);  // the two parents
    EXPECT_EQ(summary.repeatedVersions, 2u);
    EXPECT_EQ(summary.skippedLinks, 2u);  // the loop and the folder outside
    EXPECT_EQ(summary.skippedPoms, (std::vector<std::string>{badPom, fifoPom}));
    EXPECT_EQ(summary.skippedArchives, (std::vector<std::string>{brokenJar, fifoJar}));
    EXPECT_EQ(summary.unreadableRepositories, std::vector<std::string>{first.File("missing")});

    // Tests archives are components when asked; sources and javadoc never are.
    CMavenCatalogue withTests({first.Path()}, {.withTests = true});
    withTests.Read();
    ASSERT_EQ(withTests.Versions().size(), 6u);
    const CArtifactVersion& parser = withTests.Versions()[1];
    ASSERT_EQ(parser.archives.size(), 2u);
    EXPECT_EQ(parser.archives[1].classifier, "tests");
    EXPECT_EQ(parser.archives[1].path, parser1Tests);
    EXPECT_EQ(parser.archives[1].classes, std::vector<std::string>{"com.acme.ParserTest"});
    EXPECT_EQ(withTests.Summary().archives, 7u);
}

// Hostile and odd POMs: entities are not loaded, properties that refer to themselves and
// parents in a loop end, and what is no POM is none.
TEST(MavenRepository, PomsAreReadSafely)
{
    CTempDir repo;
    WriteFileText(repo.File("secret"), "SECRET");
    const struct
    {
        std::string pom;
        bool readable;
        std::string name;
    } cases[] = {
        {"<?xml version=\"1.0\"?><!DOCTYPE project [<!ENTITY x SYSTEM \"file://" + repo.File("secret") +
             "\">]><project><artifactId>a</artifactId><name>n&x;</name></project>",
         true, "n"},
        {"<project><artifactId>a</artifactId><properties><p>${p}x</p></properties><name>${p}</name></project>", true,
         ""},
        {"<project><artifactId>a</artifactId><name>${unknown} &amp; <![CDATA[<b>]]></name></project>", true,
         "${unknown} & <b>"},
        {"<project><name>no artifact</name></project>", false, ""},
        {"<settings><artifactId>a</artifactId></settings>", false, ""},
        {"", false, ""},
        {std::string("<project>\0</project>", 20), false, ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.pom);
        const std::optional<CPom> pom = CPomReader::Parse(test.pom);
        ASSERT_EQ(pom.has_value(), test.readable);
        CPomReader reader;
        const std::optional<CProject> project = reader.Read(Put(repo, "p.pom", test.pom));
        ASSERT_EQ(project.has_value(), test.readable);
        EXPECT_EQ(reader.BrokenPoms().size(), test.readable ? 0u : 1u);
        if (!test.readable)
            continue;
        if (test.name.empty())  // a property that refers to itself stops growing, unexpanded
            EXPECT_LE(project->name.size(), CPomReader::kMaxValueLength);
        else
            EXPECT_EQ(project->name, test.name);
    }

    // Two parents naming each other, neither naming a url: the chain ends.
    CPomReader reader;
    reader.AddPom("g", "a", "1", Put(repo, "a.pom", Pom(Parent("g", "b", "1") + "<artifactId>a</artifactId>")));
    reader.AddPom("g", "b", "1", Put(repo, "b.pom", Pom(Parent("g", "a", "1") + "<artifactId>b</artifactId>"
                                                                                "<description>from b</description>")));
    const std::optional<CProject> project = reader.Read(repo.File("a.pom"));
    ASSERT_TRUE(project);
    EXPECT_EQ(project->groupId, "g");
    EXPECT_EQ(project->version, "1");
    EXPECT_EQ(project->description, "from b");
    EXPECT_EQ(project->url, "");
}

// The site files written from a plain folder and a repository built in the test: every
// version in one component per artifact (also when the folder's archive is one of the
// repository's, as Debian links them), the SCIDs the catalogue always had, lookup and
// fingerprint rows of every class, and broken archives and POMs counted, not fatal.
TEST(MavenRepository, CatalogueFilesHoldEveryVersion)
{
    CTempDir jars, repo, site;
    Put(repo, "org/acme/acme-parent/5/acme-parent-5.pom",
        Pom("<groupId>org.acme</groupId><artifactId>acme-parent</artifactId><version>5</version><packaging>pom"
            "</packaging><organization><name>Acme &amp; Sons</name></organization><licenses><license><name>MIT"
            "</name><url>https://mit.example/</url></license></licenses>"));
    for (const char* version : {"1.0", "2.0", "10.0-beta"})
        Put(repo, std::string("org/acme/parser/") + version + "/parser-" + version + ".pom",
            Pom(Parent("org.acme", "acme-parent", "5") + "<artifactId>parser</artifactId><name>Acme Parser</name>"));
    Jar(repo, "org/acme/parser/1.0/parser-1.0.jar", {"com/acme/Parser", "com/acme/Parser$Node"});
    Jar(repo, "org/acme/parser/2.0/parser-2.0.jar", {"com/acme/Parser", "com/acme/Lexer"});
    Jar(repo, "org/acme/parser/10.0-beta/parser-10.0-beta.jar", {"com/acme/Lexer"});
    Put(repo, "org/acme/badpom/1.0/badpom-1.0.pom", "<project><name>unclosed</project>");
    Jar(repo, "org/acme/badpom/1.0/badpom-1.0.jar", {"com/acme/Bad"});
    const std::string brokenJar = Put(repo, "org/acme/broken/1.0/broken-1.0.jar", "PK\3\4 not an archive");
    // A plain folder's archive that the repository links to, and one of its own.
    fs::create_directories(jars.Path());
    const std::string lang = jars.File("commons-lang3-3.12.0.jar");
    MakeArchiveOf(lang, {{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\nBundle-Name: Lang\n"},
                         {"META-INF/maven/org.apache.commons/commons-lang3/pom.properties",
                          "#generated\ngroupId=org.apache.commons\nartifactId = commons-lang3\nversion:3.12.0\n"},
                         {"org/apache/commons/lang3/StringUtils.class", ClassFileBytes("org/apache/commons/lang3/StringUtils")}});
    fs::create_symlink("commons-lang3-3.12.0.jar", jars.File("commons-lang3.jar"));
    Put(repo, "org/apache/commons/commons-lang3/3.12.0/commons-lang3-3.12.0.pom",
        Pom("<groupId>org.apache.commons</groupId><artifactId>commons-lang3</artifactId><version>3.12.0</version>"));
    fs::create_symlink(lang, repo.File("org/apache/commons/commons-lang3/3.12.0/commons-lang3-3.12.0.jar"));
    Jar(repo, "org/apache/commons/commons-lang3/3.9/commons-lang3-3.9.jar", {"org/apache/commons/lang3/Old"});
    MakeArchiveOf(jars.File("plain-tool.jar"),
                  {{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\nImplementation-Title: Plain T\n ool\n"
                                            "Implementation-Version: 0.3\n"},
                   {"tool/Main.class", ClassFileBytes("tool/Main")}});
    const std::string brokenPlain = Put(jars, "broken.jar", "PK\3\4 broken too");

    CCatalogueWriter writer(site.Path());
    CCatalogueBuilder builder({{jars.Path()}, {repo.Path()}, false});
    std::string error;
    ASSERT_TRUE(builder.Read(writer.SpoolPath(), error)) << error;
    CCatalogueSummary summary = builder.Summary();
    ASSERT_TRUE(writer.Write(builder.Components(), summary, error)) << error;
    EXPECT_EQ(summary.skippedArchives, (std::vector<std::string>{brokenJar, brokenPlain}));
    EXPECT_EQ(summary.skippedPoms, std::vector<std::string>{repo.File("org/acme/badpom/1.0/badpom-1.0.pom")});
    EXPECT_EQ(summary.components, 4u);
    EXPECT_EQ(summary.versions, 7u);

    CXmlAnswer catalogue(ReadFileText(site.File("stores/components/vendors/components.bnd")));
    ASSERT_TRUE(catalogue.WellFormed());
    const struct
    {
        const char* artifact;
        const char* scid;  // as the site builder before this one made them
        const char* fields;  // name|vendor|version|archive|classCount
        const char* versions;
        const char* licences;
    } expected[] = {
        {"org.acme:badpom", "", "badpom|Unknown vendor|1.0|badpom-1.0.jar|1", "1.0", ""},
        {"org.acme:parser", "3171440", "Acme Parser|Acme & Sons|10.0-beta|parser-10.0-beta.jar|2",
         "10.0-beta|2.0|1.0", "MIT|MIT|MIT"},
        {"org.apache.commons:commons-lang3", "2043715",
         "Lang|The Apache Software Foundation|3.12.0|commons-lang3-3.12.0.jar|2", "3.12.0|3.9", ""},
        {"plain-tool", "6279160", "Plain Tool|Unknown vendor|0.3|plain-tool.jar|1", "0.3", ""},
    };
    EXPECT_EQ(catalogue.Count("/components/component"), std::size(expected));
    for (const auto& want : expected) {
        SCOPED_TRACE(want.artifact);
        const std::string component = "/components/component[artifact='" + std::string(want.artifact) + "']";
        ASSERT_EQ(catalogue.Count(component), 1u);
        if (*want.scid) {
            EXPECT_EQ(Joined(catalogue.Values(component + "/@SCID")), want.scid);
        }
        std::vector<std::string> fields;
        for (const char* field : {"componentName", "vendor", "version", "archive", "classCount"})
            fields.push_back(Joined(catalogue.Values(component + "/" + field)));
        EXPECT_EQ(Joined(fields), want.fields);
        EXPECT_EQ(Joined(catalogue.Values(component + "/versions/version/@name")), want.versions);
        EXPECT_EQ(Joined(catalogue.Values(component + "/versions/version/licence/@name")), want.licences);
    }
    const std::string langVersion = "/components/component[artifact='org.apache.commons:commons-lang3']/versions/version";
    EXPECT_EQ(Joined(catalogue.Values(langVersion + "/@sha256")),
              Sha256Hex(lang) + "|" + Sha256Hex(repo.File("org/apache/commons/commons-lang3/3.9/commons-lang3-3.9.jar")));
    EXPECT_EQ(Joined(catalogue.Values(langVersion + "[1]/@sha1")), Sha1Hex(lang));
    // Which of the component's sorted classes each version holds, where not all.
    for (const auto& [version, classes] : std::map<std::string, std::string>{
             {"org.acme:parser']/versions/version[@name='1.0", "1"},
             {"org.acme:parser']/versions/version[@name='2.0", "(all)"},
             {"org.acme:parser']/versions/version[@name='10.0-beta", "0"},
             {"org.apache.commons:commons-lang3']/versions/version[@name='3.9", "0"},
             {"org.apache.commons:commons-lang3']/versions/version[@name='3.12.0", "1"}}) {
        const std::string path = "/components/component[artifact='" + version + "']";
        ASSERT_EQ(catalogue.Count(path), 1u) << path;
        EXPECT_EQ(catalogue.Count(path + "/@classes") ? Joined(catalogue.Values(path + "/@classes")) : "(all)", classes)
            << path;
    }

    std::map<std::string, std::string> scids;  // artifact -> SCID
    for (const auto& want : expected)
        scids[want.artifact] = Joined(catalogue.Values("/components/component[artifact='" + std::string(want.artifact) +
                                                       "']/@SCID"));
    const std::string parser = scids["org.acme:parser"], lang3 = scids["org.apache.commons:commons-lang3"];
    EXPECT_EQ(ReadFileText(site.File("lookup/classes.txt")),
              "# class name, tab, SCID; sorted by class name\ncom.acme.Bad\t" + scids["org.acme:badpom"] +
                  "\ncom.acme.Lexer\t" + parser + "\ncom.acme.Parser\t" + parser +
                  "\norg.apache.commons.lang3.Old\t" + lang3 + "\norg.apache.commons.lang3.StringUtils\t" + lang3 +
                  "\ntool.Main\t" + scids["plain-tool"] + "\n");

    // One row per class file of every version, by its fingerprint.
    auto row = [](const std::string& internalName, const std::string& scid, const std::string& version) {
        return CClassFingerprint::ToText(*CClassFingerprint::Compute(ClassFileBytes(internalName))) + "\t" + scid +
               "\t" + version;
    };
    const std::set<std::string> wanted = {
        row("com/acme/Parser", parser, "1.0"),         row("com/acme/Parser$Node", parser, "1.0"),
        row("com/acme/Parser", parser, "2.0"),         row("com/acme/Lexer", parser, "2.0"),
        row("com/acme/Lexer", parser, "10.0-beta"),    row("com/acme/Bad", scids["org.acme:badpom"], "1.0"),
        row("org/apache/commons/lang3/StringUtils", lang3, "3.12.0"),
        row("org/apache/commons/lang3/Old", lang3, "3.9"), row("tool/Main", scids["plain-tool"], "0.3"),
    };
    std::istringstream fingerprints(ReadFileText(site.File("lookup/fingerprints.txt")));
    std::string line;
    ASSERT_TRUE(std::getline(fingerprints, line));
    EXPECT_TRUE(line.starts_with("#"));
    std::multiset<std::string> rows;
    while (std::getline(fingerprints, line))
        rows.insert(line);
    EXPECT_EQ(rows, std::multiset<std::string>(wanted.begin(), wanted.end()));
    EXPECT_EQ(summary.fingerprints, wanted.size());
    EXPECT_FALSE(fs::exists(writer.SpoolPath()));
    EXPECT_EQ(Joined(CXmlAnswer(ReadFileText(site.File("site.xml"))).Values("/site/counts/@components")), "4");
}

// A plain folder's archive described from what it carries, each field from the first source
// that has it: pom.properties, the archive's pom.xml (or the repository's POM), the
// manifest, the publishers the catalogue knows, the file name.
TEST(MavenRepository, PlainArchivesDescribeThemselves)
{
    CTempDir repo;
    const std::string repoPom = Put(repo, "g/x/1.5/x-1.5.pom",
        Pom("<groupId>org.example</groupId><artifactId>x</artifactId><name>From the repository</name>"));
    const std::string properties = "# comment\n! also\ngroupId = org.slf4j\nartifactId:slf4j-api\n"
                                   "version 1.7.\\\n   32\n";
    const struct
    {
        std::string fileName;
        CArchiveMetadata metadata;
        std::string repositoryPom, repositoryVersion;
        std::string fields;  // artifact|version|name|vendor|description|url
    } cases[] = {
        {"slf4j-api.jar", {properties, "", ""}, "", "",
         "org.slf4j:slf4j-api|1.7.32|slf4j-api|QOS.ch|slf4j-api, a Java library (slf4j-api.jar).|"},
        {"a.jar", {properties, Pom("<artifactId>ignored</artifactId><name> SLF4J\n  API </name><url>https://slf4j.org"
                                   "</url><organization><name>QOS</name></organization>"
                                   "<description>${unresolved}</description>"), ""}, "", "",
         "org.slf4j:slf4j-api|1.7.32|SLF4J API|QOS|SLF4J API, a Java library (a.jar).|https://slf4j.org"},
        {"tool-2.1.0+b3.jar", {"", "", "Manifest-Version: 1.0\r\nBundle-Name: The\r\n  Tool\r\nBundle-Vendor: Me\r\n"
                                       "Bundle-DocURL: https://tool.example/\r\n\r\nName: x\r\nBundle-Version: 9\r\n"},
         "", "", "tool|2.1.0+b3|The Tool|Me|The Tool, a Java library (tool-2.1.0+b3.jar).|https://tool.example/"},
        {"commons-cli-1.5.jar", {"", "", "implementation-version: 1.5.0\nImplementation-Vendor: ASF\n"}, "", "",
         "commons-cli|1.5.0|commons-cli|ASF|commons-cli, a Java library (commons-cli-1.5.jar).|"},
        {"commons-io.jar", {"", "", ""}, "", "",
         "commons-io||commons-io|The Apache Software Foundation|commons-io, a Java library (commons-io.jar).|"},
        {"x.jar", {"", "", ""}, repoPom, "1.5",
         "org.example:x|1.5|From the repository|Unknown vendor|From the repository, a Java library (x.jar).|"},
        {"x-1.5.jar", {"", "<project><name>broken", ""}, repoPom, "1.5",
         "org.example:x|1.5|From the repository|Unknown vendor|From the repository, a Java library (x-1.5.jar).|"},
        {"lib-x.jar", {"", "", ""}, "", "", "lib-x||lib-x|Unknown vendor|lib-x, a Java library (lib-x.jar).|"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fileName);
        const CCatalogueEntry entry = CArchiveDescriber::Describe(c.fileName, c.metadata, c.repositoryPom,
                                                                  c.repositoryVersion);
        EXPECT_EQ(Joined({entry.artifact, entry.version, entry.name, entry.vendor, entry.description, entry.url}),
                  c.fields);
        EXPECT_EQ(entry.archive, c.fileName);
    }
}

// Archives whose pom.properties is a shaded library's take the repository's coordinates; two
// libraries of one name are told apart by their archives; one version in two repositories is
// one version; a class file that cannot be parsed gives no fingerprint.
TEST(MavenRepository, CatalogueTakesTheRepositorysWord)
{
    CTempDir jars, first, second, site;
    fs::create_directories(jars.Path());
    MakeArchiveOf(jars.File("wrapper.jar"),
                  {{"META-INF/maven/cglib/cglib/pom.properties", "groupId=cglib\nartifactId=cglib\nversion=3.2\n"},
                   {"org/wrap/Wrapper.class", ClassFileBytes("org/wrap/Wrapper")},
                   {"org/wrap/Torn.class", "\xCA\xFE\xBA\xBE torn"}});
    Put(first, "org/wrap/wrapper/4.0/wrapper-4.0.pom", Pom("<groupId>org.wrap</groupId><artifactId>wrapper</artifactId>"
                                                          "<name>Same</name>"));
    fs::create_symlink(jars.File("wrapper.jar"), first.File("org/wrap/wrapper/4.0/wrapper-4.0.jar"));
    Put(first, "org/other/same/1/same-1.pom", Pom("<groupId>org.other</groupId><artifactId>same</artifactId>"
                                                  "<name>Same</name>"));
    Jar(first, "org/other/same/1/same-1.jar", {"org/other/Same"});
    Jar(second, "org/other/same/1/same-1.jar", {"org/other/Again"});
    Jar(second, "org/other/same/2/same-2.jar", {"org/other/Same", "org/other/Extra"});

    CCatalogueWriter writer(site.Path());
    CCatalogueBuilder builder({{jars.Path()}, {first.Path(), second.Path()}, false});
    std::string error;
    ASSERT_TRUE(builder.Read(writer.SpoolPath(), error)) << error;
    CCatalogueSummary summary = builder.Summary();
    ASSERT_TRUE(writer.Write(builder.Components(), summary, error)) << error;
    CXmlAnswer catalogue(ReadFileText(site.File("stores/components/vendors/components.bnd")));
    EXPECT_EQ(Joined(catalogue.Values("/components/component/artifact")), "org.other:same|org.wrap:wrapper");
    EXPECT_EQ(Joined(catalogue.Values("/components/component/componentName")), "same (same-2)|Same (wrapper)");
    EXPECT_EQ(Joined(catalogue.Values("/components/component/versions/version/@name")), "2|1|4.0");
    EXPECT_EQ(Joined(catalogue.Values("/components/component[artifact='org.wrap:wrapper']/classCount")), "2");  // Torn is a class name, with no fingerprint
    EXPECT_EQ(summary.repeatedVersions, 1u);
    EXPECT_EQ(summary.fingerprints, 4u);  // Wrapper, Same in versions 1 and 2, Extra
}
