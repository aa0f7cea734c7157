#include "JarScan.h"

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>
#include <zip.h>

#include "ArchiveMetadata.h"
#include "FileDigest.h"
#include "UnitContent.h"
#include "ZipCalls.h"
#include "support/TestArchives.h"
#include "support/SwappedCall.h"
#include "support/TestSupport.h"

using Strings = std::vector<std::string>;

namespace
{
struct CListing
{
    bool result;
    Strings names;
    std::string output;
};

CListing List(const std::string& path, Strings names = {})
{
    CJarScan scan;
    testing::internal::CaptureStdout();
    bool result = scan.GetClasses(path, names);
    return {result, names, testing::internal::GetCapturedStdout()};
}

size_t OpenFileCount()
{
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                             std::filesystem::directory_iterator()));
}
}  // namespace

TEST(CJarScan, EntriesBecomeClassNames)
{
    const std::string longest = std::string(CJarScan::kMaxEntryLength - 6, 'a') + ".class";
    const struct
    {
        Strings entries;
        Strings names;
    } cases[] = {
        {{"com/acme/util/Parser.class", "com/acme/util/Parser$Node.class", "com/acme/A.class"},
         {"com.acme.util.Parser", "com.acme.util.Parser", "com.acme.A"}},
        {{"com\\acme\\Win.class", "doc/x.classes.txt", "lib/a.class/readme.txt"}, {"com.acme.Win", "doc.x", "lib.a"}},
        {{"module-info.class", "$Proxy.class", "com/acme/Name With Space.class", "com/acme/package-info.class"},
         {"", "com.acme.Name With Space"}},  // descriptors are not classes
        {{"com/acme/Caf\xc3\xa9.class", "caf\x82.class"}, {"com.acme.Caf\xc3\xa9", "caf\xc3\xa9"}},  // 437 → UTF-8
        {{"com/acme/Upper.CLASS", "com/acme/", "com/acme/Parser.java"}, {}},
        {{"META-INF/", "META-INF/MANIFEST.MF"}, {}},
        // A multi-release archive: a versioned copy is the class at its base; a class held
        // only under versions/N/ counts once; nothing else below META-INF/ is a class.
        {{"META-INF/versions/9/com/acme/A.class", "META-INF/versions/9/org/x/Only$1.class", "com/acme/A.class",
          "META-INF/versions/11/org/x/Only.class", "META-INF/versions/9/module-info.class",
          "META-INF/versions/9/com/acme/A$Nine.class", "META-INF/versions/9/org/x/package-info.class", "org/y/B.class"},
         {"com.acme.A", "org.y.B", "org.x.Only"}},
        {{"META-INF/foo/Bar.class", "META-INF/versions/x/com/B.class", "META-INF/versions/9.class",
          "META-INF/versions/9/$1.class", "META-INF/versionsX/9/C.class"},
         {}},
        {{longest, "b" + longest}, {longest.substr(0, longest.size() - 6)}},  // over 2047 bytes: skipped
    };
    CTempDir dir;
    for (const auto& c : cases) {
        std::string path = dir.File("one.jar");
        MakeArchive(path, c.entries);
        CListing listing = List(path, {"earlier"});
        EXPECT_TRUE(listing.result) << c.entries.front();
        Strings expected{"earlier"};
        expected.insert(expected.end(), c.names.begin(), c.names.end());
        EXPECT_EQ(listing.names, expected) << c.entries.front();
        EXPECT_EQ(listing.output, "");
    }
}

TEST(CJarScan, UnreadableArchivesFailCleanly)
{
    CTempDir dir;
    std::string good = dir.File("good.jar");
    MakeArchive(good, {"com/acme/A.class", "com/acme/B.class", "com/acme/C.class"});
    std::string bytes = ReadFileText(good);
    WriteFileText(dir.File("truncated.jar"), bytes.substr(0, bytes.size() / 2));
    WriteFileText(dir.File("cut-directory.jar"), bytes.substr(0, bytes.size() - 30));
    WriteFileText(dir.File("text.jar"), "this is not an archive\n");
    std::string damaged = bytes;
    damaged[damaged.size() - 22 + 10] = '\x7f';  // the directory's entry count
    WriteFileText(dir.File("damaged.jar"), damaged);
    std::filesystem::create_directory(dir.File("folder.jar"));
    ASSERT_EQ(::mkfifo(dir.File("pipe.jar").c_str(), 0600), 0);  // must not block

    size_t openFiles = OpenFileCount();
    for (const char* name :
         {"truncated.jar", "cut-directory.jar", "text.jar", "damaged.jar", "folder.jar", "pipe.jar", "missing.jar"}) {
        CListing listing = List(dir.File(name), {"kept"});
        EXPECT_FALSE(listing.result) << name;
        EXPECT_EQ(listing.names, Strings{"kept"}) << name;
        // The reader's error text, one line.
        ASSERT_FALSE(listing.output.empty()) << name;
        EXPECT_EQ(listing.output.find('\n'), listing.output.size() - 1) << name << ": " << listing.output;
    }
    EXPECT_EQ(OpenFileCount(), openFiles);
    EXPECT_EQ(List(dir.File("folder.jar")).output, "Not a zip archive\n");
    EXPECT_EQ(List(dir.File("missing.jar")).output, "Can't open file: No such file or directory\n");
}

TEST(CJarScan, ReaderFailuresAddNothing)
{
    CTempDir dir;
    std::string path = dir.File("lib.jar");
    MakeArchive(path, {"com/acme/A.class", "com/acme/B.class"});
    size_t openFiles = OpenFileCount();
    auto listWith = [&path](auto& entry, auto replacement) {
        CSwappedCall swapped(entry, replacement);
        return List(path);
    };
    CListing opened = listWith(zipsys::Calls().fdopen, [](int, int, int* error) -> zip_t* {
        *error = ZIP_ER_MEMORY;
        return nullptr;
    });
    CListing named =
        listWith(zipsys::Calls().getName, [](zip_t* archive, zip_uint64_t index, zip_flags_t flags) -> const char* {
            if (index == 1) {
                zip_error_set(zip_get_error(archive), ZIP_ER_MEMORY, 0);
                return nullptr;
            }
            return zip_get_name(archive, index, flags);
        });

    for (const CListing& listing : {opened, named}) {
        EXPECT_FALSE(listing.result);
        EXPECT_TRUE(listing.names.empty());
        EXPECT_EQ(listing.output, "Malloc failure\n");
    }
    EXPECT_EQ(OpenFileCount(), openFiles);
}

TEST(CJarScan, ArchivesInsideArchivesAreListedFromMemory)
{
    CTempDir dir;
    const std::string war = dir.File("shop.war");
    const std::string deepest =
        ArchiveBytes({{"org/deep/D.class", "x"}, {"e.jar", ArchiveBytes({{"org/e/E.class", "x"}})}});
    MakeArchiveOf(war, {
                           {"WEB-INF/classes/com/shop/Cart.class", "x"},
                           {"WEB-INF/lib/a.jar", ArchiveBytes({{"org/a/A.class", "x"}, {"org/a/A$1.class", "x"}})},
                           {"WEB-INF/lib/b.JAR", ArchiveBytes({{"org/b/B.class", "x"}, {"lib/c.zip", ArchiveBytes({
                                                                    {"org/c/C.class", "x"}, {"d.ear", deepest}})}})},
                           {"WEB-INF/lib/broken.jar", "not an archive"},
                       });
    CJarScan scan;
    std::vector<CJarScan::CListing> listings;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(scan.ListNested(war, listings));
    testing::internal::GetCapturedStdout();
    std::vector<std::string> seen;
    for (const CJarScan::CListing& listing : listings) {
        std::string line = listing.path.substr(dir.Path().size() + 1) + " " + std::to_string(listing.depth) + ":";
        for (const std::string& name : listing.names)
            line += " " + name;
        seen.push_back(line);
    }
    // Three levels below the archive at most: e.jar inside d.ear is not opened.
    EXPECT_EQ(seen, (Strings{"shop.war 0: WEB-INF.classes.com.shop.Cart",
                             "shop.war!/WEB-INF/lib/a.jar 1: org.a.A org.a.A",
                             "shop.war!/WEB-INF/lib/b.JAR 1: org.b.B",
                             "shop.war!/WEB-INF/lib/b.JAR!/lib/c.zip 2: org.c.C",
                             "shop.war!/WEB-INF/lib/b.JAR!/lib/c.zip!/d.ear 3: org.deep.D"}));
    EXPECT_FALSE(scan.ListNested(dir.File("missing.war"), listings));
}

// Each listing keeps its archive open and gives, on demand, the class files of named
// classes, the archive's own metadata and the digests of its bytes.
TEST(CJarScan, ListingsGiveClassFilesMetadataAndDigestsOnDemand)
{
    CTempDir dir;
    const std::string inner = ArchiveBytes({{"META-INF/maven/org.x/other/pom.properties", "artifactId=other\nversion=7\n"},
                                            {"META-INF/maven/org.a/a/pom.properties", "groupId: org.a\n! note\nartifactId = a\nversion=1.5\n"},
                                            {"org/a/A.class", "outer"},
                                            {"org/a/A$1.class", "inner"},
                                            {"META-INF/versions/9/org/a/A.class", "versioned"},
                                            {"org/b/B.class", "b"}});
    MakeArchiveOf(dir.File("app.war"), {{"META-INF/MANIFEST.MF", "Bundle-SymbolicName: org.app;singleton:=true\n"
                                                                 "Bundle-Version: 2.0.1\nImplementation-Vendor: App\n  Team\n"},
                                        {"WEB-INF/lib/a.jar", inner}});
    CJarScan scan;
    std::vector<CJarScan::CListing> listings;
    ASSERT_TRUE(scan.ListNested(dir.File("app.war"), listings));
    ASSERT_EQ(listings.size(), 2u);
    CUnitContent& nested = *listings[1].content;
    Strings files;
    for (const CUnitContent::CClassEntry& entry : nested.FindClassFiles({"org.a.A"}))
        files.push_back(entry.name + "=" + nested.ReadClassFile(entry).value_or("?"));
    EXPECT_EQ(files, (Strings{"org.a.A=outer", "org.a.A=inner", "org.a.A=versioned"}));
    // Of two pom.properties, the one the file name names.
    const CArchiveMetadata& own = nested.GetMetadata();
    EXPECT_EQ(own.GetGroup() + ":" + own.GetArtifact() + ":" + own.GetPomVersion() + " " + own.GetFileName(), "org.a:a:1.5 a");
    const CArchiveMetadata& outer = listings[0].content->GetMetadata();
    EXPECT_EQ(outer.GetManifestName() + " " + outer.GetManifestVersion() + " " + outer.GetManifestVendor(),
              "org.app 2.0.1 App Team");
    EXPECT_FALSE(outer.HasPom());
    WriteFileText(dir.File("a.jar"), inner);
    EXPECT_EQ(nested.GetDigests().sha256, Sha256Hex(dir.File("a.jar")));
    EXPECT_EQ(listings[0].content->GetDigests().sha1, Sha1Hex(dir.File("app.war")));
    EXPECT_EQ(nested.GetDigests().sha1.size(), 40u);

    // A tree names its classes by what each file declares.
    std::filesystem::create_directories(dir.File("classes/org/d"));
    WriteFileText(dir.File("classes/org/d/S.class"), ClassFileBytes("org/d/Second"));
    WriteFileText(dir.File("classes/org/d/Bad.class"), "not a class");
    CUnitContent tree(dir.File("classes"));
    const auto found = tree.FindClassFiles({"org.d.Second"});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(tree.ReadClassFile(found[0]), ClassFileBytes("org/d/Second"));
    EXPECT_TRUE(tree.GetDigests().sha256.empty());

    struct Case
    {
        std::string path, fileName, fileVersion;
    } const names[] = {{"/x/guice-multibindings-4.2.3.jar", "guice-multibindings", "4.2.3"},
                       {"o.war!/WEB-INF/lib/inner-2.0-rc1.jar", "inner", "2.0-rc1"},
                       {"/x/commons-io.jar", "commons-io", ""},
                       {"/x/a-b-c.JAR", "a-b-c", ""}};
    for (const Case& c : names) {
        CArchiveMetadata metadata;
        metadata.ReadFileName(c.path);
        EXPECT_EQ(metadata.GetFileName() + " " + metadata.GetFileVersion(), c.fileName + " " + c.fileVersion) << c.path;
    }
    // A manifest's main section only; a pom.properties without an artifact names nothing.
    CArchiveMetadata metadata;
    metadata.ReadManifest("Implementation-Title: Core\r\nImplementation-Version: 1.0\r\n\r\nImplementation-Version: 9\r\n");
    metadata.ReadPomProperties("groupId=org.x\nversion=3\n");
    EXPECT_EQ(metadata.GetManifestName() + " " + metadata.GetManifestVersion(), "Core 1.0");
    EXPECT_FALSE(metadata.HasPom());
}
