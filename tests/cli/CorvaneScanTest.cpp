// corvane-scan run as a program, over real archives and class trees, against vantrel-server.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "AccessLog.h"
#include "CatalogueEntries.h"
#include "ClassFingerprint.h"
#include "ClassPathScanThread.h"
#include "FileDigest.h"
#include "FingerprintTable.h"
#include "LocalItemDataManager.h"
#include "LookupDatabase.h"
#include "LookupServer.h"
#include "MessageQueue.h"
#include "Messages.h"
#include "ReportedComponent.h"
#include "Settings.h"
#include "UrlFetch.h"
#include "support/ChildProcess.h"
#include "support/HeadlessModalRunner.h"
#include "support/ProxyProcess.h"
#include "support/RecordingHttpServer.h"
#include "support/TestArchives.h"
#include "support/TestSite.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;
using Json = nlohmann::json;
using Strings = std::vector<std::string>;

namespace
{
std::string Entry(const std::string& scid, const std::string& name, const std::string& version,
                  const std::string& artifact, const std::string& category)
{
    return "<component SCID=\"" + scid + "\"><componentName>" + name + "</componentName><vendor>" + name +
           " Team</vendor><version>" + version + "</version><description/><url/><artifact>" + artifact +
           "</artifact><categories><category><primaryCategory>" + category +
           "</primaryCategory><secondaryCategory>General</secondaryCategory></category></categories></component>";
}

struct CRun
{
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Runs a program of the test's own (javac, jarjar) to its end, its output kept for the failure.
void RunTool(const Strings& argv, const std::string& log)
{
    CChildProcess process;
    ASSERT_TRUE(process.Start(argv, {}, log, log));
    ASSERT_EQ(process.Wait(120s), 0) << argv[0] << ": " << ReadFileText(log);
}

// The class files of a folder, by entry path ("org/zeta/fmt/Reader.class").
CEntries ClassFilesIn(const std::string& folder)
{
    CEntries entries;
    for (const auto& file : std::filesystem::recursive_directory_iterator(folder))
        if (file.path().extension() == ".class")
            entries.emplace_back(std::filesystem::relative(file.path(), folder).string(), ReadFileText(file.path()));
    std::sort(entries.begin(), entries.end());
    return entries;
}

// Two catalogued versions of a library compiled by javac: 1.1 changes Reader's constant and
// adds Pad; and a library whose versions 2.0 and 2.1 hold the same classes.
void CompileLibraries(const std::string& dir)
{
    const std::string reader = "package org.zeta.fmt;\npublic class Reader {\n    public static final int LIMIT = @;\n"
                               "    public int read(String text) { return text.length() % LIMIT; }\n}\n";
    const std::map<std::string, std::string> common = {
        {"zeta/org/zeta/fmt/Codec.java",
         "package org.zeta.fmt;\npublic class Codec { public String name() { return \"zeta\"; } }\n"},
        {"zeta/org/zeta/fmt/Writer.java", "package org.zeta.fmt;\npublic class Writer {\n    public String "
                                          "write(int value) { return new Codec().name() + value; }\n}\n"},
        {"omega/org/omega/util/Strings.java",
         "package org.omega.util;\npublic class Strings { public static String twice(String s) { return s + s; } }\n"},
    };
    for (const std::string version : {"1.0", "1.1"}) {
        const std::string src = dir + "/src-" + version;
        std::map<std::string, std::string> files = common;
        files["zeta/org/zeta/fmt/Reader.java"] = ReplaceAll(reader, "@", version == "1.0" ? "10" : "11");
        if (version == "1.1")
            files["zeta/org/zeta/fmt/Pad.java"] = "package org.zeta.fmt;\npublic class Pad { int width = 4; }\n";
        Strings javac = {JAVAC_EXECUTABLE, "-d", dir + "/zeta-" + version};
        for (const auto& [path, text] : files) {
            std::filesystem::create_directories(std::filesystem::path(src + "/" + path).parent_path());
            WriteFileText(src + "/" + path, text);
            if (path.starts_with("zeta/"))
                javac.push_back(src + "/" + path);
        }
        RunTool(javac, dir + "/log");
    }
    RunTool({JAVAC_EXECUTABLE, "-d", dir + "/omega", dir + "/src-1.0/omega/org/omega/util/Strings.java"}, dir + "/log");
}

// A catalogue of five components and a folder that holds each in another way: a plain JAR,
// a renamed one, one stripped of META-INF, a class tree, a JAR inside a WAR, a shaded copy,
// and an archive of unknown classes.
class CorvaneScanTest : public ::testing::Test
{
protected:
    // The OSV records of folder into the store of the state directory, over the suite's site.
    static void LoadAdvisories(const std::string& folder, const std::string& state)
    {
        CServerOptions load;
        load.siteDir = s_site->Root();
        load.stateDir = state;
        load.loadAdvisories = folder;
        std::string summary, error;
        ASSERT_TRUE(CVantrelServer::RunStep(load, summary, error)) << error;
    }

    // The program's own scan of the CLASSPATH and the scan locations, to its end.
    static void RunProgramScan(const std::string& classPath)
    {
        CScopedEnvironment environment("CLASSPATH", classPath);
        CPrefixCache cache;
        CWorker<CClassPathScanThread> scan(cache);
        CMessageQueue queue;
        scan.SetClassPath(classPath);
        scan.SetLocations(GetScanLocations());
        scan.SetTargetWindow(queue.GetHandle());
        ASSERT_NE(scan.Start(), 0u);
        CollectMessages(queue, WM_SCAN_FINISHED, 30s);
        scan.Shutdown();
    }

    static void SetUpTestSuite()
    {
        s_site = new CTestSite;
        s_site->Write("stores/components/vendors/components.bnd",
                      "<components>" + Entry("2000001", "Acme Parsers", "2.1", "com.acme:parsers", "Data Formats") +
                          Entry("2000002", "Beta Logging", "0.9", "org.beta:logging", "Logging") +
                          Entry("2000003", "Gamma Collections", "", "gamma-collections", "Utilities") +
                          Entry("2000004", "Delta Units", "1.0+build", "org.delta:units", "Utilities") +
                          Entry("2000005", "Epsilon Web", "3.0", "org.eps:web", "Web") +
                          Entry("2000006", "Zeta Formats", "1.1", "org.zeta:fmt", "Data Formats") +
                          Entry("2000007", "Omega Utilities", "2.1", "org.omega:util", "Utilities") + "</components>");
        s_classes = new CTempDir;
        CompileLibraries(s_classes->Path());
        // A row per class file of every catalogued version, as the site builder writes them.
        std::string fingerprints = "# fingerprint, SCID, version\n";
        for (const auto& [folder, scid, versions] :
             {std::tuple{"zeta-1.0", "2000006", Strings{"1.0"}}, {"zeta-1.1", "2000006", Strings{"1.1"}},
              {"omega", "2000007", Strings{"2.0", "2.1"}}})
            for (const auto& [path, bytes] : ClassFilesIn(s_classes->File(folder)))
                for (const std::string& version : versions)
                    fingerprints += CClassFingerprint::ToText(*CClassFingerprint::Compute(bytes)) + "\t" + scid +
                                    "\t" + version + "\n";
        s_site->Write("lookup/fingerprints.txt", fingerprints);
        std::string lookup;
        for (const auto& [name, scid] : {std::pair{"com.acme.parse.Csv", "2000001"}, {"com.acme.parse.Tsv", "2000001"},
                                         {"org.beta.log.Log", "2000002"}, {"org.beta.log.Level", "2000002"},
                                         {"net.gamma.coll.Bag", "2000003"}, {"net.gamma.coll.Heap", "2000003"},
                                         {"org.delta.units.Meter", "2000004"}, {"org.delta.units.Second", "2000004"},
                                         {"org.eps.web.Page", "2000005"}, {"org.zeta.fmt.Codec", "2000006"},
                                         {"org.zeta.fmt.Pad", "2000006"}, {"org.zeta.fmt.Reader", "2000006"},
                                         {"org.zeta.fmt.Writer", "2000006"}, {"org.omega.util.Strings", "2000007"}})
            lookup += std::string(name) + "\t" + scid + "\n";
        s_site->Write("lookup/classes.txt", lookup);
        s_server = new CRunningServer(s_site->Root());
        // The lookup server over the same files, answering fingerprints from the site's table.
        std::string error;
        s_lookupData = new CLookupDatabase;
        s_fingerprints = new CFingerprintTable;
        ASSERT_TRUE(s_lookupData->Load(s_site->Path("lookup/classes.txt"), error)) << error;
        ASSERT_TRUE(s_fingerprints->Load(s_site->Path("lookup/fingerprints.txt"), error)) << error;
        s_log = new CAccessLog;
        s_lookup = new CLookupServer(*s_lookupData, *s_log, 10);
        s_lookup->SetFingerprints(s_fingerprints);
        ASSERT_TRUE(s_lookup->Start({"127.0.0.1", 0}, error)) << error;
    }
    static void TearDownTestSuite()
    {
        delete s_lookup;
        delete s_log;
        delete s_fingerprints;
        delete s_lookupData;
        delete s_classes;
        delete s_server;
        delete s_site;
    }

    CorvaneScanTest()
    {
        m_registry.UseServers("127.0.0.1:" + std::to_string(s_server->HttpPort()), s_server->LookupPort());
        const std::string lib = Lib();
        std::filesystem::create_directories(lib + "/classes/org/delta/units");
        // Multi-release: one class only in its versioned part, another also there.
        MakeArchive(lib + "/acme-parsers-2.1.jar",
                    {"META-INF/MANIFEST.MF", "META-INF/maven/com.acme/parsers/pom.properties",
                     "META-INF/versions/9/module-info.class", "META-INF/versions/9/com/acme/parse/Tsv.class",
                     "META-INF/versions/11/com/acme/parse/Tsv.class", "META-INF/versions/11/com/acme/parse/Csv.class",
                     "com/acme/parse/Csv.class", "com/acme/parse/Csv$Row.class"});
        MakeArchive(lib + "/lib-0001.jar", {"META-INF/MANIFEST.MF", "org/beta/log/Log.class", "org/beta/log/Level.class"});
        MakeArchive(lib + "/stripped.jar", {"net/gamma/coll/Bag.class", "net/gamma/coll/Heap.class"});
        WriteFileText(lib + "/classes/org/delta/units/Meter.class", ClassFileBytes("org/delta/units/Meter"));
        WriteFileText(lib + "/classes/org/delta/units/S.class", ClassFileBytes("org/delta/units/Second"));
        MakeArchiveOf(lib + "/app.war", {{"WEB-INF/lib/eps-web.jar", ArchiveBytes({{"org/eps/web/Page.class", "x"}})}});
        MakeArchive(lib + "/shaded.jar", {"shaded/org/beta/log/Log.class", "shaded/org/beta/log/Level.class"});
        MakeArchive(lib + "/other.jar", {"org/unknown/Thing.class", "com/acme/Unrelated.class"});
        SetScanLocations({});
    }

    std::string Lib() const { return m_files.File("lib"); }

    // Runs corvane-scan to its end; stderrPath: where its standard error goes, else a file.
    CRun Scan(const Strings& arguments, const CEnvironment& environment = {}, const std::string& stderrPath = "")
    {
        Strings argv{CORVANE_SCAN};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        CChildProcess process;
        const std::string err = stderrPath.empty() ? m_files.File("err") : stderrPath;
        CRun run;
        if (!process.Start(argv, environment, m_files.File("out"), err))
            return run;
        run.status = process.Wait(60s);
        run.out = ReplaceAll(ReadFileText(m_files.File("out")), Lib(), "LIB");
        run.err = stderrPath.empty() ? ReplaceAll(ReadFileText(err), Lib(), "LIB") : "";
        return run;
    }

    static inline CTestSite* s_site = nullptr;
    static inline CRunningServer* s_server = nullptr;
    static inline CTempDir* s_classes = nullptr;  // the compiled libraries, a folder per version
    static inline CLookupDatabase* s_lookupData = nullptr;
    static inline CFingerprintTable* s_fingerprints = nullptr;
    static inline CAccessLog* s_log = nullptr;
    static inline CLookupServer* s_lookup = nullptr;
    CTestRegistry m_registry;
    CTempDir m_files;
};
}  // namespace

TEST_F(CorvaneScanTest, TableJsonAndCycloneDxOfOneFolder)
{
    CRun table = Scan({"--format", "table", Lib()});
    EXPECT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.err, "");  // no terminal: no progress, no summary
    EXPECT_EQ(table.out, "COMPONENT          VERSION    BASIS      MATCH         CLASSES  WHERE\n"
                         "Acme Parsers       2.1        catalogue  direct              2  LIB/acme-parsers-2.1.jar\n"
                         "Beta Logging       0.9        catalogue  direct              2  LIB/lib-0001.jar\n"
                         "                   0.9        catalogue  relocated           2  LIB/shaded.jar\n"
                         "Delta Units        1.0+build  catalogue  direct              2  LIB/classes\n"
                         "Epsilon Web        3.0        catalogue  nested              1  LIB/app.war!/WEB-INF/lib/eps-web.jar\n"
                         "Gamma Collections             catalogue  direct              2  LIB/stripped.jar\n"
                         "-                                        unidentified        2  LIB/other.jar\n");

    // Not a terminal: JSON unless asked otherwise, the same keys for every component.
    CRun json = Scan({Lib()});
    ASSERT_EQ(json.status, 0) << json.err;
    const Json expected = Json::parse(R"([
      {"scid": "2000001", "name": "Acme Parsers", "version": "2.1", "vendor": "Acme Parsers Team",
       "artifact": "com.acme:parsers", "purl": "pkg:maven/com.acme/parsers@2.1",
       "finds": [{"path": "LIB/acme-parsers-2.1.jar", "match": "direct", "classes": 2,
                  "version": "2.1", "basis": "catalogue", "candidates": [], "warnings": [], "sha1": null, "sha256": null}]},
      {"scid": "2000002", "name": "Beta Logging", "version": "0.9", "vendor": "Beta Logging Team",
       "artifact": "org.beta:logging", "purl": "pkg:maven/org.beta/logging@0.9",
       "finds": [{"path": "LIB/lib-0001.jar", "match": "direct", "classes": 2,
                  "version": "0.9", "basis": "catalogue", "candidates": [], "warnings": [], "sha1": null, "sha256": null},
                 {"path": "LIB/shaded.jar", "match": "relocated", "classes": 2,
                  "version": "0.9", "basis": "catalogue", "candidates": [], "warnings": [], "sha1": null, "sha256": null}]},
      {"scid": "2000004", "name": "Delta Units", "version": "1.0+build", "vendor": "Delta Units Team",
       "artifact": "org.delta:units", "purl": "pkg:maven/org.delta/units@1.0%2Bbuild",
       "finds": [{"path": "LIB/classes", "match": "direct", "classes": 2,
                  "version": "1.0+build", "basis": "catalogue", "candidates": [], "warnings": [], "sha1": null, "sha256": null}]},
      {"scid": "2000005", "name": "Epsilon Web", "version": "3.0", "vendor": "Epsilon Web Team",
       "artifact": "org.eps:web", "purl": "pkg:maven/org.eps/web@3.0",
       "finds": [{"path": "LIB/app.war!/WEB-INF/lib/eps-web.jar", "match": "nested", "classes": 1,
                  "version": "3.0", "basis": "catalogue", "candidates": [], "warnings": [], "sha1": null, "sha256": null}]},
      {"scid": "2000003", "name": "Gamma Collections", "version": null, "vendor": "Gamma Collections Team",
       "artifact": "gamma-collections", "purl": null,
       "finds": [{"path": "LIB/stripped.jar", "match": "direct", "classes": 2,
                  "version": null, "basis": "catalogue", "candidates": [], "warnings": [], "sha1": null, "sha256": null}]},
      {"scid": null, "name": null, "version": null, "vendor": null, "artifact": null, "purl": null,
       "finds": [{"path": "LIB/other.jar", "match": "unidentified", "classes": 2, "version": null, "basis": null,
                  "candidates": [], "warnings": [], "sha1": "", "sha256": ""}]}])");
    // An archive of classes the catalogue does not know is there, with its hashes.
    Json scanned = Json::parse(json.out);
    ASSERT_EQ(scanned.size(), expected.size()) << json.out;
    Json& hashed = scanned.back()["finds"][0];
    EXPECT_EQ(hashed["sha1"].get<std::string>() + " " + hashed["sha256"].get<std::string>(),
              Sha1Hex(Lib() + "/other.jar") + " " + Sha256Hex(Lib() + "/other.jar"));
    hashed["sha1"] = hashed["sha256"] = "";
    EXPECT_EQ(scanned, expected) << json.out;

    const std::string bomPath = m_files.File("bom/sbom.json");
    std::filesystem::create_directories(m_files.File("bom"));
    WriteFileText(bomPath, "old");
    CRun bom = Scan({"--format=cyclonedx", "--output", bomPath, "--quiet", Lib()});
    ASSERT_EQ(bom.status, 0) << bom.err;
    EXPECT_EQ(bom.out, "");
    // Written through a temporary file beside it, which is gone.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_files.File("bom")), {}), 1);
    CChildProcess validator;
    ASSERT_TRUE(validator.Start({VALIDATE_BOM, bomPath}, {}, m_files.File("validation"), m_files.File("validation")));
    EXPECT_EQ(validator.Wait(60s), 0) << ReadFileText(m_files.File("validation"));
    const Json document = Json::parse(ReadFileText(bomPath));
    EXPECT_EQ(document["specVersion"], "1.5");
    EXPECT_TRUE(std::regex_match(document["serialNumber"].get<std::string>(),
                                 std::regex("urn:uuid:[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")));
    Strings refs, names, titles, hashes, purls, occurrences;
    for (const Json& component : document["components"]) {
        refs.push_back(component["bom-ref"]);
        names.push_back(component.value("group", "-") + " " + component["name"].get<std::string>() + " " +
                        component.value("version", "-"));
        for (const Json& property : component["properties"])
            if (property["name"] == "corvane:title")
                titles.push_back(property["value"]);
        hashes.push_back(component.contains("hashes") ? component["hashes"].dump() : "-");
        purls.push_back(component.value("purl", "-"));
        for (const Json& occurrence : component["evidence"]["occurrences"])
            occurrences.push_back(ReplaceAll(occurrence["location"], Lib(), "LIB"));
    }
    ASSERT_EQ(refs.size(), 6u);
    EXPECT_TRUE(std::regex_match(refs.back(), std::regex("archive:[0-9a-f]{32}"))) << refs.back();
    refs.pop_back();
    EXPECT_EQ(refs, (Strings{"scid:2000001", "scid:2000002", "scid:2000004", "scid:2000005", "scid:2000003"}));
    // Named as the purl names them; the catalogue's title beside.
    EXPECT_EQ(names, (Strings{"com.acme parsers 2.1", "org.beta logging 0.9", "org.delta units 1.0+build",
                              "org.eps web 3.0", "- Gamma Collections -", "- other.jar -"}));
    EXPECT_EQ(titles, (Strings{"Acme Parsers", "Beta Logging", "Delta Units", "Epsilon Web", "Gamma Collections"}));
    // Only an archive that is the component's own has its hash: not two places, a class tree
    // or a JAR inside a WAR.
    // An archive not in the catalogue has its hashes too.
    auto sums = [&](const std::string& path) {
        Json hashes = Json::array();
        for (const auto& [tool, alg, length] : {std::tuple{"/usr/bin/sha1sum", "SHA-1", 40}, {"/usr/bin/sha256sum", "SHA-256", 64}}) {
            CChildProcess sum;
            EXPECT_TRUE(sum.Start({tool, path}, {}, m_files.File("sum")));
            EXPECT_EQ(sum.Wait(10s), 0);
            hashes.push_back({{"alg", alg}, {"content", ReadFileText(m_files.File("sum")).substr(0, length)}});
        }
        return hashes.dump();
    };
    EXPECT_EQ(hashes, (Strings{sums(Lib() + "/acme-parsers-2.1.jar"), "-", "-", "-", sums(Lib() + "/stripped.jar"),
                               sums(Lib() + "/other.jar")}));
    EXPECT_EQ(purls, (Strings{"pkg:maven/com.acme/parsers@2.1", "pkg:maven/org.beta/logging@0.9",
                              "pkg:maven/org.delta/units@1.0%2Bbuild", "pkg:maven/org.eps/web@3.0", "-", "-"}));
    EXPECT_EQ(occurrences, (Strings{"LIB/acme-parsers-2.1.jar", "LIB/lib-0001.jar", "LIB/shaded.jar", "LIB/classes",
                                    "LIB/app.war!/WEB-INF/lib/eps-web.jar", "LIB/stripped.jar", "LIB/other.jar"}));
    // The validator does reject what the schema forbids.
    WriteFileText(bomPath, ReplaceAll(ReadFileText(bomPath), "\"library\"", "\"jar\""));
    ASSERT_TRUE(validator.Start({VALIDATE_BOM, bomPath}, {}, m_files.File("validation"), m_files.File("validation")));
    EXPECT_EQ(validator.Wait(60s), 1);

    // On a terminal, standard error shows the progress and a summary.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    CChildProcess onTerminal;
    ASSERT_TRUE(onTerminal.Start({CORVANE_SCAN, "-f", "json", Lib()}, {}, m_files.File("out"), ::ptsname(master)));
    std::string shown;
    char buffer[4096];
    for (bool running = true; running;) {
        running = onTerminal.IsRunning();
        pollfd entry{master, POLLIN, 0};
        ssize_t got = 1;
        while (got > 0 && ::poll(&entry, 1, running ? 100 : 0) > 0 && (entry.revents & POLLIN))
            if ((got = ::read(master, buffer, sizeof buffer)) > 0)
                shown.append(buffer, static_cast<size_t>(got));
    }
    ::close(master);
    EXPECT_EQ(onTerminal.Wait(1s), 0);
    EXPECT_NE(shown.find("names looked up"), std::string::npos) << shown;
    EXPECT_NE(shown.find("corvane-scan: 5 components in 6 places, 1 archive not in the catalogue (7 archives and class trees"),
              std::string::npos)
        << shown;
}

// Archives of the compiled libraries as a user finds them: stripped, renamed, relocated by
// jarjar, with a lying pom.properties or a damaged class; and archives of classes the
// catalogue does not know, named as far as their content allows.
TEST_F(CorvaneScanTest, VersionsFromTheClassFilesAndEveryArchiveReported)
{
    const std::string dir = m_files.File("versions");
    std::filesystem::create_directories(dir);
    const CEntries v10 = ClassFilesIn(s_classes->File("zeta-1.0")), v11 = ClassFilesIn(s_classes->File("zeta-1.1"));
    MakeArchiveOf(dir + "/zeta-a.jar", v10);
    MakeArchiveOf(dir + "/zeta-b.jar", v11);
    CEntries lying = v11;
    lying.emplace_back("META-INF/maven/org.other/other/pom.properties", "groupId=org.other\nartifactId=other\nversion=9.9\n");
    MakeArchiveOf(dir + "/liar.jar", lying);
    CEntries damaged = v10;
    for (auto& [path, bytes] : damaged)
        if (path.ends_with("Writer.class"))
            bytes.resize(bytes.size() / 2);  // parses to nothing: no fingerprint, and no failure
    MakeArchiveOf(dir + "/zeta-broken.jar", damaged);
    MakeArchiveOf(m_files.File("plain.jar"), v10);
    WriteFileText(m_files.File("rules.txt"), "rule org.zeta.** hidden.@0\n");
    RunTool({JAVA_EXECUTABLE, "-cp", JARJAR_CLASSPATH, "com.tonicsystems.jarjar.Main", "process", m_files.File("rules.txt"),
             m_files.File("plain.jar"), dir + "/shaded.jar"},
            m_files.File("log"));
    MakeArchiveOf(dir + "/omega.jar", ClassFilesIn(s_classes->File("omega")));
    const std::string unknown = ClassFileBytes("org/mystery/Core");
    MakeArchiveOf(dir + "/with-pom.jar", {{"META-INF/maven/org.mystery/mystery-core/pom.properties",
                                           "# written by Maven\ngroupId = org.mystery\nartifactId=mystery-core\nversion=1.2\n"},
                                          {"org/mystery/Core.class", unknown}});
    MakeArchiveOf(dir + "/manifest.jar", {{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nImplementation-Title: Mystery\r\n"
                                                                   "  Tools\r\nImplementation-Version: 3.1\r\n\r\nName: x\r\n"
                                                                   "Implementation-Version: 9\r\n"},
                                          {"org/mystery/Core.class", unknown}});
    MakeArchiveOf(dir + "/plainlib-4.5.jar", {{"org/mystery/Core.class", unknown}});
    MakeArchiveOf(dir + "/mystery.jar", {{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\n"}, {"org/mystery/Core.class", unknown}});
    const std::string inner = ArchiveBytes({{"org/mystery/Core.class", unknown}});
    MakeArchiveOf(dir + "/app.war", {{"WEB-INF/lib/inner-2.0.jar", inner}});
    WriteFileText(m_files.File("inner.jar"), inner);
    const std::string lookup = "127.0.0.1:" + std::to_string(s_lookup->Port());

    CRun json = Scan({"--lookup", lookup, "-f", "json", dir});
    ASSERT_EQ(json.status, 0) << json.err;
    const Json list = Json::parse(ReplaceAll(json.out, dir, "V"));
    Strings found;
    for (const Json& component : list) {
        for (const Json& find : component["finds"]) {
            std::string line = component["name"].dump() + " " + component["version"].dump() + " " + component["purl"].dump() +
                               " | " + find["path"].get<std::string>() + " " + find["match"].get<std::string>() + " " +
                               find["version"].dump() + " " + find["basis"].dump() + " " + find["candidates"].dump() +
                               " " + find["warnings"].dump();
            found.push_back(line);
            // Every object and every find has the same keys.
            std::vector<std::string> keys;
            for (const auto& [key, value] : find.items())
                keys.push_back(key);
            std::sort(keys.begin(), keys.end());
            EXPECT_EQ(keys, (Strings{"basis", "candidates", "classes", "match", "path", "sha1", "sha256", "version", "warnings"}));
        }
        EXPECT_EQ(component.size(), 7u) << component.dump();
    }
    EXPECT_EQ(found, (Strings{
        R"("Omega Utilities" null "pkg:maven/org.omega/util" | V/omega.jar direct null "fingerprints" ["2.1","2.0"] [])",
        R"("Zeta Formats" null "pkg:maven/org.zeta/fmt" | V/liar.jar direct "1.1" "fingerprints" [] )"
        R"(["pom.properties names version 9.9, the classes are 1.1"])",
        R"("Zeta Formats" null "pkg:maven/org.zeta/fmt" | V/shaded.jar relocated "1.0" "fingerprints" [] [])",
        R"("Zeta Formats" null "pkg:maven/org.zeta/fmt" | V/zeta-a.jar direct "1.0" "fingerprints" [] [])",
        R"("Zeta Formats" null "pkg:maven/org.zeta/fmt" | V/zeta-b.jar direct "1.1" "fingerprints" [] [])",
        R"("Zeta Formats" null "pkg:maven/org.zeta/fmt" | V/zeta-broken.jar direct "1.0" "fingerprints" [] [])",
        // Not in the catalogue: in the order scanned; the WAR is reported by what it holds.
        R"("inner" "2.0" null | V/app.war!/WEB-INF/lib/inner-2.0.jar filename "2.0" "filename" [] [])",
        R"("Mystery Tools" "3.1" null | V/manifest.jar manifest "3.1" "manifest" [] [])",
        R"(null null null | V/mystery.jar unidentified null null [] [])",
        R"("plainlib" "4.5" null | V/plainlib-4.5.jar filename "4.5" "filename" [] [])",
        R"("mystery-core" "1.2" "pkg:maven/org.mystery/mystery-core@1.2" | V/with-pom.jar metadata "1.2" "metadata" [] [])"}));
    // The hashes of an archive not in the catalogue, also of one inside another.
    auto sums = [&](const std::string& path) {
        std::string text;
        for (const char* tool : {"/usr/bin/sha1sum", "/usr/bin/sha256sum"}) {
            CChildProcess sum;
            EXPECT_TRUE(sum.Start({tool, path}, {}, m_files.File("sum")));
            EXPECT_EQ(sum.Wait(10s), 0);
            const std::string line = ReadFileText(m_files.File("sum"));
            text += line.substr(0, line.find(' ')) + " ";
        }
        return text;
    };
    std::map<std::string, std::string> hashes;
    for (const Json& component : list)
        if (component["scid"].is_null())
            hashes[component["finds"][0]["path"]] = component["finds"][0]["sha1"].get<std::string>() + " " +
                                                    component["finds"][0]["sha256"].get<std::string>() + " ";
    EXPECT_EQ(hashes["V/mystery.jar"], sums(dir + "/mystery.jar"));
    EXPECT_EQ(hashes["V/app.war!/WEB-INF/lib/inner-2.0.jar"], sums(m_files.File("inner.jar")));

    // The table shows the same, the contradiction stated below it.
    CRun table = Scan({"--lookup", lookup, "-f", "table", dir});
    ASSERT_EQ(table.status, 0) << table.err;
    const std::string shown = ReplaceAll(table.out, dir, "V");
    EXPECT_NE(shown.find("Omega Utilities  2.1 or 2.0  fingerprints  direct"), std::string::npos) << shown;
    EXPECT_NE(shown.find("                 1.0         fingerprints  relocated           3  V/shaded.jar\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Mystery Tools    3.1         manifest      manifest            1  V/manifest.jar\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\nwarning: V/liar.jar: pom.properties names version 9.9, the classes are 1.1\n"), std::string::npos)
        << shown;

    // The BOM lists every archive, each version of a component apart, with how it was identified.
    const std::string bomPath = m_files.File("sbom.json");
    CRun bom = Scan({"--lookup", lookup, "-f", "cyclonedx", "-o", bomPath, dir});
    ASSERT_EQ(bom.status, 0) << bom.err;
    CChildProcess validator;
    ASSERT_TRUE(validator.Start({VALIDATE_BOM, bomPath}, {}, m_files.File("validation"), m_files.File("validation")));
    EXPECT_EQ(validator.Wait(60s), 0) << ReadFileText(m_files.File("validation"));
    Strings components;
    std::set<std::string> refs;
    const Json document = Json::parse(ReadFileText(bomPath));
    for (const Json& component : document["components"]) {
        std::string line = component["bom-ref"].get<std::string>().substr(0, 8) + " " + component["name"].get<std::string>() +
                           " " + component.value("version", "-");
        refs.insert(component["bom-ref"].get<std::string>());
        if (component["evidence"].contains("identity")) {
            const Json& identity = component["evidence"]["identity"];
            line += " " + identity["field"].get<std::string>() + " " + identity["confidence"].dump();
            for (const Json& method : identity["methods"])
                line += " " + method["technique"].get<std::string>();
        }
        for (const Json& hash : component.value("hashes", Json::array()))
            line += " " + hash["alg"].get<std::string>();
        components.push_back(line);
    }
    EXPECT_EQ(refs.size(), components.size());  // each bom-ref once
    // An archive that is the component's own has its hashes; one that is not named gets its file name.
    EXPECT_EQ(components, (Strings{"scid:200 util - purl 0.7 hash-comparison SHA-1 SHA-256",
                                   "scid:200 fmt 1.1 purl 1.0 hash-comparison manifest-analysis hash-comparison",
                                   "scid:200 fmt 1.0 purl 1.0 hash-comparison hash-comparison hash-comparison",
                                   "archive: inner 2.0 name 0.2 filename SHA-1 SHA-256",
                                   "archive: Mystery Tools 3.1 name 0.4 manifest-analysis SHA-1 SHA-256",
                                   "archive: mystery.jar - SHA-1 SHA-256",
                                   "archive: plainlib 4.5 name 0.2 filename SHA-1 SHA-256",
                                   "archive: mystery-core 1.2 purl 0.5 manifest-analysis SHA-1 SHA-256"}));
}

// A component's hash is that of its own artifact, so only an archive that holds it directly,
// alone, and nothing else found is hashed.
TEST(ReportComponents, HashesOnlyAnArchiveThatIsTheComponentsOwn)
{
    CTempDir files;
    for (const std::string name : {"own.jar", "two.jar", "other.jar", "shaded.jar", "merged.jar", "app.war"})
        WriteFileText(files.File(name), "bytes of " + name);
    std::filesystem::create_directories(files.File("classes"));
    const CCatalogueEntries none;
    struct Case
    {
        CFoundComponent found;
        bool hashed;
    };
    const Case cases[] = {
        {{"1", {{files.File("own.jar"), CMatch::Direct, 3}}}, true},
        {{"2", {{files.File("two.jar"), CMatch::Direct, 3}, {files.File("other.jar"), CMatch::Direct, 1}}}, false},
        {{"3", {{files.File("shaded.jar"), CMatch::Relocated, 3}}}, false},
        {{"4", {{files.File("app.war") + "!/WEB-INF/lib/x.jar", CMatch::Nested, 3}}}, false},
        {{"5", {{files.File("classes"), CMatch::Direct, 3}}}, false},
        {{"6", {{files.File("merged.jar"), CMatch::Direct, 3}}}, false},
        {{"7", {{files.File("merged.jar"), CMatch::Direct, 1}}}, false},
        {{"8", {{files.File("gone.jar"), CMatch::Direct, 3}}}, false},
    };
    std::vector<CFoundComponent> found;
    for (const Case& c : cases)
        found.push_back(c.found);
    const std::vector<CReportedComponent> reported = ReportComponents(found, none, true);
    ASSERT_EQ(reported.size(), std::size(cases));
    for (size_t i = 0; i < reported.size(); ++i) {
        EXPECT_EQ(reported[i].scid, cases[i].found.scid);
        EXPECT_EQ(reported[i].name, cases[i].found.scid);  // no catalogue entry: named by the SCID
        EXPECT_EQ(reported[i].title, "");
        EXPECT_EQ(reported[i].sha256, cases[i].hashed ? Sha256Hex(cases[i].found.finds[0].path) : "")
            << reported[i].scid;
    }
    EXPECT_EQ(reported[0].sha256.size(), 64u);
    EXPECT_EQ(ReportComponents(found, none)[0].sha256, "");  // the table and JSON need none
}

TEST_F(CorvaneScanTest, ExitCodesNameWhatIsAtFault)
{
    const std::string registry = m_registry.Path();
    const std::string output = m_files.File("report.json");
    const std::string closed = "127.0.0.1:" + std::to_string(CProxyProcess::FreeLoopbackPort());
    const std::string web = "http://127.0.0.1:" + std::to_string(s_server->HttpPort());
    struct Case
    {
        Strings arguments;
        std::pair<std::string, std::string> setting;  // set for this case only
        int status;
        std::string message;  // part of standard error
    };
    const Case cases[] = {
        {{"--format", "xml", Lib()}, {}, 2, "corvane-scan: unknown format 'xml' (table, json or cyclonedx)\n\nUsage:"},
        {{"--lookup", "host:port", Lib()}, {}, 2, "--lookup wants HOST:PORT, not 'host:port'"},
        {{"--server", "ftp://x", Lib()}, {}, 2, "--server wants an http:// or https:// URL"},
        {{"--output"}, {}, 2, "option --output needs a value"},
        {{"--quiet=yes"}, {}, 2, "option --quiet takes no value"},
        {{Lib(), m_files.File("gone.jar")}, {}, 3, m_files.File("gone.jar") + ": No such file or directory"},
        {{"--lookup", closed, Lib()}, {}, 1, "no lookup server answers at " + closed + " (--lookup); nothing written"},
        {{Lib()}, {"ComponentDatabase", closed}, 1, "(setting ComponentDatabase in " + registry + ")"},
        {{"--server", web + "/elsewhere/", Lib()}, {}, 1, "(component web server " + web + "/elsewhere, --server)"},
        {{Lib()}, {"ComponentWebServer", "http://" + closed}, 1, "(component web server http://" + closed +
                                                                   ", setting ComponentWebServer in " + registry + ")"},
    };
    for (const Case& c : cases) {
        if (!c.setting.first.empty())
            m_registry.Set(c.setting.first, c.setting.second);
        Strings arguments = c.arguments;
        if (c.status != 2)
            arguments.insert(arguments.begin(), {"--update-index", "--output", output});
        CRun run = Scan(arguments);
        EXPECT_EQ(run.status, c.status) << arguments.back();
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(output)) << run.err;
        EXPECT_FALSE(std::filesystem::exists(m_registry.DataDir() + "/Local/components.xml")) << run.err;
        m_registry.UseServers("127.0.0.1:" + std::to_string(s_server->HttpPort()), s_server->LookupPort());
    }
    // The scan's own diagnostics (here an archive that cannot be read) reach standard error
    // only under CORVANE_DEBUG, and never the report.
    WriteFileText(Lib() + "/broken.jar", "not an archive");
    for (bool debug : {false, true}) {
        const CEnvironment environment = debug ? CEnvironment().Set("CORVANE_DEBUG", "1") : CEnvironment().Remove("CORVANE_DEBUG");
        CRun run = Scan({"-f", "json", Lib()}, environment);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Json::parse(run.out).size(), 6u) << run.out;  // five components and other.jar
        EXPECT_EQ(run.err.find("Not a zip archive\n") != std::string::npos, debug) << run.err;
    }
    CRun version = Scan({"--version"});
    EXPECT_EQ(version.out, "corvane-scan 1.0.0\n");
    CRun help = Scan({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: corvane-scan [OPTIONS] [PATH...]\n", 0), 0u) << help.out;
    CRun unwritable = Scan({"-o", m_files.File("missing/report.json"), Lib()});
    EXPECT_EQ(unwritable.status, 4);
    EXPECT_EQ(unwritable.err, "corvane-scan: cannot write " + m_files.File("missing/report.json") +
                                  ": No such file or directory\n");
}

TEST_F(CorvaneScanTest, UpdateIndexWritesWhatTheProgramsScanWritesForTheLocalTab)
{
    // No PATH: the CLASSPATH, then the saved scan locations.
    const std::string classPath = Lib() + "/acme-parsers-2.1.jar:" + Lib() + "/classes";
    ASSERT_TRUE(SetScanLocations({Lib() + "/lib-0001.jar", Lib() + "/app.war"}));
    CRun run = Scan({"--update-index", "-f", "json"}, CEnvironment().Set("CLASSPATH", classPath));
    ASSERT_EQ(run.status, 0) << run.err;
    Strings found;
    for (const Json& component : Json::parse(run.out))
        for (const Json& find : component["finds"])
            found.push_back(component["name"].get<std::string>() + " " + find["match"].get<std::string>() + " " +
                            find["path"].get<std::string>());
    EXPECT_EQ(found, (Strings{"Acme Parsers direct LIB/acme-parsers-2.1.jar", "Beta Logging direct LIB/lib-0001.jar",
                              "Delta Units direct LIB/classes", "Epsilon Web nested LIB/app.war!/WEB-INF/lib/eps-web.jar"}));

    const std::string index = m_registry.DataDir() + "/Local/components.xml";
    const std::string written = ReadFileText(index);
    CHeadlessModalRunner runner;
    CScriptedPrompt prompt;
    CLocalItemDataManager manager(runner, prompt);
    EXPECT_TRUE(manager.UpdateIndex());
    EXPECT_TRUE(prompt.Shown().empty());
    CItemList categories;
    ASSERT_TRUE(manager.ListComponentCategories(categories, true));
    Strings names;
    for (size_t i = 0; i < categories.GetCount(); ++i) {
        CItemList subcategories, components;
        ASSERT_TRUE(manager.ListChildItems(categories.GetAt(i), subcategories));
        ASSERT_EQ(subcategories.GetCount(), 1u);
        ASSERT_TRUE(manager.ListChildItems(subcategories.GetAt(0), components));
        for (size_t k = 0; k < components.GetCount(); ++k)
            names.push_back(categories.GetAt(i).GetName() + "/" + components.GetAt(k).GetName());
    }
    EXPECT_EQ(names, (Strings{"Data Formats/Acme Parsers", "Logging/Beta Logging", "Utilities/Delta Units",
                              "Web/Epsilon Web"}));

    // The program's own scan over the same CLASSPATH and locations writes the same bytes.
    std::filesystem::remove(index);
    ASSERT_NO_FATAL_FAILURE(RunProgramScan(classPath));
    EXPECT_EQ(ReadFileText(index), written);
}

// The known vulnerabilities of what was found, in every format, and --fail-on, from a
// vantrel-server of its own over the same site with OSV records loaded: Acme Parsers 2.1 is
// affected by a record whose summary is markup, Beta Logging 0.9 may be by one whose ranges
// cannot be evaluated and whose severity is unknown.
TEST_F(CorvaneScanTest, KnownVulnerabilitiesInEveryFormatAndFailOn)
{
    CTempDir osv, state;
    auto record = [](const std::string& id, const std::string& package, const std::string& rangeType,
                     const Json& extra) {
        Json record = {{"id", id},
                       {"modified", "2024-05-01T12:00:00Z"},
                       {"affected",
                        {{{"package", {{"ecosystem", "Maven"}, {"name", package}}},
                          {"ranges", {{{"type", rangeType}, {"events", {{{"introduced", "0"}}, {{"fixed", "2.2"}}}}}}}}}}};
        record.update(extra);
        return record.dump();
    };
    WriteFileText(osv.File("acme.json"),
                  record("GHSA-acme-0001-xxxx", "com.acme:parsers", "ECOSYSTEM",
                         {{"aliases", {"CVE-2024-0001"}},
                          {"summary", "<script>alert(1)</script>\"><img src=x onerror=alert(2)>"},
                          {"database_specific", {{"severity", "MODERATE"}}},
                          {"severity", {{{"type", "CVSS_V3"}, {"score", "CVSS:3.1/AV:N/AC:L/PR:N/UI:N/S:U/C:L/I:N/A:N"}}}}}));
    WriteFileText(osv.File("beta.json"), record("OSV-2024-beta", "org.beta:logging", "SEMVER", Json::object()));
    ASSERT_NO_FATAL_FAILURE(LoadAdvisories(osv.Path(), state.Path()));
    CRunningServer withAdvisories(s_site->Root(), 10, state.Path());
    const std::string server = "http://127.0.0.1:" + std::to_string(withAdvisories.HttpPort());

    CRun table = Scan({"--server", server, "-f", "table", Lib()});
    ASSERT_EQ(table.status, 0) << table.err;
    // A record the server cannot evaluate "may" affect, in the table and as "unknown" in a BOM
    // that still validates; the JSON gives every object its advisories, none for most.
    EXPECT_NE(table.out.find("LIB/shaded.jar\n  may be vulnerable: OSV-2024-beta, unknown, fixed in 2.2, "
                             "its affected versions cannot be evaluated\nDelta Units"),
              std::string::npos)
        << table.out;
    CRun json = Scan({"--server", server, "-f", "json", Lib()});
    ASSERT_EQ(json.status, 0) << json.err;
    size_t affected = 0;
    for (const Json& component : Json::parse(json.out))
        affected += component.at("advisories").empty() ? 0 : 1;
    EXPECT_EQ(affected, 2u) << json.out;
    const std::string bomPath = m_files.File("sbom.json");
    CRun bom = Scan({"--server", server, "-f", "cyclonedx", "-o", bomPath, Lib()});
    ASSERT_EQ(bom.status, 0) << bom.err;
    CChildProcess validator;
    ASSERT_TRUE(validator.Start({VALIDATE_BOM, bomPath}, {}, m_files.File("validation"), m_files.File("validation")));
    EXPECT_EQ(validator.Wait(60s), 0) << ReadFileText(m_files.File("validation"));
    const Json document = Json::parse(ReadFileText(bomPath));
    ASSERT_EQ(document["vulnerabilities"].size(), 2u) << document.dump(2);
    EXPECT_EQ(document["vulnerabilities"][0]["description"], "<script>alert(1)</script>\"><img src=x onerror=alert(2)>");
    const Json& beta = document["vulnerabilities"][1];
    EXPECT_EQ(beta["affects"], Json::parse(R"([{"ref":"scid:2000002","versions":[{"version":"0.9","status":"unknown"}]}])"));
    EXPECT_EQ(beta["ratings"], Json::parse(R"([{"severity":"unknown"}])"));

    // The Local index marks what is affected, and the program's own scan writes the same bytes.
    ASSERT_TRUE(SetScanLocations({Lib()}));
    m_registry.Set("ComponentWebServer", server);
    const std::string index = m_registry.DataDir() + "/Local/components.xml";
    CRun update = Scan({"--update-index", "-o", m_files.File("report.json")}, CEnvironment().Set("CLASSPATH", ""));
    ASSERT_EQ(update.status, 0) << update.err;
    const std::string written = ReadFileText(index);
    EXPECT_NE(written.find("<component SCID=\"2000001\" affected=\"yes\">"), std::string::npos) << written;
    EXPECT_NE(written.find("<advisory id=\"GHSA-acme-0001-xxxx\" severity=\"medium\" fixed=\"2.2\" versions=\"2.1\""),
              std::string::npos)
        << written;
    EXPECT_NE(written.find("<summary>&lt;script&gt;alert(1)&lt;/script&gt;\"&gt;&lt;img src=x onerror=alert(2)&gt;</summary>"),
              std::string::npos)
        << written;
    std::filesystem::remove(index);
    ASSERT_NO_FATAL_FAILURE(RunProgramScan(""));
    EXPECT_EQ(ReadFileText(index), written);
    m_registry.UseServers("127.0.0.1:" + std::to_string(s_server->HttpPort()), s_server->LookupPort());
    ASSERT_TRUE(SetScanLocations({}));

    // --fail-on: the record of unknown severity that may affect Beta Logging meets every
    // threshold; Acme's medium one only those up to medium.
    const std::string acmeJar = Lib() + "/acme-parsers-2.1.jar";
    const struct Case
    {
        std::string path, threshold;
        int status;
    } cases[] = {{Lib(), "critical", 5}, {acmeJar, "high", 0}, {acmeJar, "medium", 5}, {acmeJar, "low", 5}};
    for (const Case& c : cases) {
        CRun run = Scan({"--server", server, "--fail-on", c.threshold, "-o", m_files.File("report.json"), c.path});
        EXPECT_EQ(run.status, c.status) << c.path << " " << c.threshold << ": " << run.err;
        EXPECT_TRUE(std::filesystem::exists(m_files.File("report.json")));  // written either way
        std::filesystem::remove(m_files.File("report.json"));
    }

    // Without advisories (the suite's server has none; a server that fails): the same report
    // as ever, and no failure; a failure is a warning (and fails a gate).
    CRun plain = Scan({"-f", "json", Lib()});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out.find("advisories"), std::string::npos);
    CRun gated = Scan({"--fail-on", "low", "-f", "json", Lib()});
    EXPECT_EQ(gated.status, 0) << gated.err;
    EXPECT_EQ(gated.out, plain.out);
    EXPECT_EQ(gated.err, "");
    const std::string web = "http://127.0.0.1:" + std::to_string(s_server->HttpPort());
    CRecordingHttpServer failing;
    failing.Server().Get(R"(/xql\.dll/.*)", [&](const httplib::Request& req, httplib::Response& res) {
        std::string body, fetchError, target = req.path + "?";
        for (const auto& [name, value] : req.params)
            target += name + "=" + value + "&";
        if (FetchUrl(web + target, body, fetchError, CTransferSettings{}))
            res.set_content(body, "text/xml");
        else
            res.status = 502;
    });
    failing.Server().Post("/vantrel/advisories", [](const httplib::Request&, httplib::Response& res) { res.status = 500; });
    failing.Start();
    const std::string broken = "http://127.0.0.1:" + std::to_string(failing.Port());
    // The report is written as without advisories; only a gate cannot pass without an answer.
    CRun failed = Scan({"--server", broken, "-f", "json", Lib()});
    EXPECT_EQ(failed.status, 0);
    EXPECT_EQ(failed.out, plain.out);
    CRun gateFailed = Scan({"--server", broken, "--fail-on", "low", "-f", "json", Lib()});
    EXPECT_EQ(gateFailed.status, 1) << gateFailed.err;
    EXPECT_EQ(gateFailed.out, plain.out);
    EXPECT_NE(failed.err.find("corvane-scan: warning: no advisories (--server): " + broken +
                              "/vantrel/advisories: HTTP status 500"),
              std::string::npos)
        << failed.err;
}

// A vulnerable library stripped of its metadata and relocated into a fat JAR, beside one
// whose classes leave two candidate versions: found by its class fingerprints, and its
// records in every format, against vantrel-server with OSV records loaded.
TEST_F(CorvaneScanTest, AStrippedRelocatedVulnerableCopyInAFatJarIsReportedInEveryFormat)
{
    CEntries plain = ClassFilesIn(s_classes->File("zeta-1.0"));
    for (auto& entry : ClassFilesIn(s_classes->File("omega")))
        plain.push_back(entry);
    plain.emplace_back("org/mystery/Core.class", ClassFileBytes("org/mystery/Core"));
    MakeArchiveOf(m_files.File("plain.jar"), plain);
    WriteFileText(m_files.File("rules.txt"), "rule org.zeta.** app.deps.@0\n");
    const std::string dir = m_files.File("app");
    std::filesystem::create_directories(dir);
    RunTool({JAVA_EXECUTABLE, "-cp", JARJAR_CLASSPATH, "com.tonicsystems.jarjar.Main", "process", m_files.File("rules.txt"),
             m_files.File("plain.jar"), dir + "/app-all.jar"},
            m_files.File("log"));

    CTempDir osv, state;
    auto record = [](const std::string& id, const std::string& package, const std::string& introduced,
                     const std::string& fixed, const std::string& vector) {
        return Json{{"id", id},
                    {"modified", "2024-05-01T12:00:00Z"},
                    {"aliases", {"CVE-2024-" + id.substr(id.size() - 4)}},
                    {"summary", "Crafted input <b>crashes</b> the reader"},
                    {"severity", {{{"type", "CVSS_V3"}, {"score", vector}}}},
                    {"affected",
                     {{{"package", {{"ecosystem", "Maven"}, {"name", package}}},
                       {"ranges", {{{"type", "ECOSYSTEM"}, {"events", {{{"introduced", introduced}}, {{"fixed", fixed}}}}}}}}}}}
            .dump();
    };
    WriteFileText(osv.File("zeta.json"), record("GHSA-zeta-0000-1001", "org.zeta:fmt", "0", "1.1",
                                                "CVSS:3.1/AV:N/AC:L/PR:N/UI:N/S:U/C:H/I:H/A:H"));
    WriteFileText(osv.File("omega.json"), record("GHSA-omeg-0000-2002", "org.omega:util", "2.0", "2.1",
                                                 "CVSS:3.1/AV:N/AC:L/PR:N/UI:N/S:U/C:L/I:N/A:N"));
    ASSERT_NO_FATAL_FAILURE(LoadAdvisories(osv.Path(), state.Path()));
    CRunningServer withAdvisories(s_site->Root(), 10, state.Path());
    const Strings servers = {"--server", "http://127.0.0.1:" + std::to_string(withAdvisories.HttpPort()), "--lookup",
                             "127.0.0.1:" + std::to_string(s_lookup->Port())};
    auto scan = [&](Strings arguments) {
        arguments.insert(arguments.begin(), servers.begin(), servers.end());
        arguments.push_back(dir);
        CRun run = Scan(arguments);
        run.out = ReplaceAll(run.out, dir, "APP");
        return run;
    };

    CRun table = scan({"-f", "table"});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_NE(table.out.find("Omega Utilities  2.1 or 2.0  fingerprints  direct           1  APP/app-all.jar\n"
                             "  vulnerable: GHSA-omeg-0000-2002 (CVE-2024-2002), medium, fixed in 2.1; "
                             "affects 2.0 of 2.1 or 2.0\n"
                             "Zeta Formats     1.0         fingerprints  relocated        3  APP/app-all.jar\n"
                             "  vulnerable: GHSA-zeta-0000-1001 (CVE-2024-1001), critical, fixed in 1.1\n"),
              std::string::npos)
        << table.out;

    CRun json = scan({"-f", "json"});
    ASSERT_EQ(json.status, 0) << json.err;
    Strings advisories;
    for (const Json& component : Json::parse(json.out))
        for (const Json& advisory : component["advisories"])
            advisories.push_back(component["name"].get<std::string>() + " " + advisory["id"].get<std::string>() + " " +
                                 advisory["severity"].get<std::string>() + " " + advisory["versions"].dump() + " " +
                                 advisory["ratings"][0]["score"].dump());
    EXPECT_EQ(advisories, (Strings{"Omega Utilities GHSA-omeg-0000-2002 medium [\"2.0\"] 5.3",
                                   "Zeta Formats GHSA-zeta-0000-1001 critical [\"1.0\"] 9.8"}));

    const std::string bomPath = m_files.File("sbom.json");
    CRun bom = scan({"-f", "cyclonedx", "-o", bomPath, "--fail-on", "critical"});
    EXPECT_EQ(bom.status, 5) << bom.err;
    CChildProcess validator;
    ASSERT_TRUE(validator.Start({VALIDATE_BOM, bomPath}, {}, m_files.File("validation"), m_files.File("validation")));
    EXPECT_EQ(validator.Wait(60s), 0) << ReadFileText(m_files.File("validation"));
    Strings vulnerabilities;
    const Json document = Json::parse(ReadFileText(bomPath));
    for (const Json& vulnerability : document["vulnerabilities"])
        vulnerabilities.push_back(vulnerability["id"].get<std::string>() + " " + vulnerability["affects"].dump() + " " +
                                  vulnerability["recommendation"].get<std::string>());
    EXPECT_EQ(document["vulnerabilities"][1]["source"]["url"], "https://osv.dev/vulnerability/GHSA-zeta-0000-1001");
    EXPECT_EQ(document["vulnerabilities"][1]["references"][0]["id"], "CVE-2024-1001");
    EXPECT_EQ(vulnerabilities,
              (Strings{R"(GHSA-omeg-0000-2002 [{"ref":"scid:2000007","versions":[{"status":"affected","version":"2.0"}]}] )"
                       "Upgrade to version 2.1 or later.",
                       R"(GHSA-zeta-0000-1001 [{"ref":"scid:2000006","versions":[{"status":"affected","version":"1.0"}]}] )"
                       "Upgrade to version 1.1 or later."}));
    EXPECT_EQ(scan({"-f", "json", "--fail-on", "critical", "-o", m_files.File("r.json")}).status, 5);
}
