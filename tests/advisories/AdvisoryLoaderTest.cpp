#include "AdvisoryLoader.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "AdvisorySet.h"
#include "support/TestArchives.h"
#include "support/TestSupport.h"

namespace
{
// A record in the OSV format for one Maven package; body adds fields after "modified".
std::string Record(const std::string& id, const std::string& modified, const std::string& package,
                   const std::string& events, const std::string& body = "")
{
    return R"({"id": ")" + id + R"(", "modified": ")" + modified + R"(", )" + body +
           R"( "affected": [{"package": {"ecosystem": "Maven", "name": ")" + package +
           R"("}, "ranges": [{"type": "ECOSYSTEM", "events": )" + events + "}]}]}";
}

const char* const kUntil2 = R"([{"introduced": "0"}, {"fixed": "2.0"}])";
const char* const kUntil3 = R"([{"introduced": "0"}, {"fixed": "3.0"}])";

std::vector<std::string> Ids(const std::vector<const COsvRecord*>& records)
{
    std::vector<std::string> ids;
    for (const COsvRecord* record : records)
        ids.push_back(record->id);
    return ids;
}

std::vector<std::string> Affecting(const CAdvisorySet& set, const char* package, const char* version)
{
    return Ids(set.Match(package, *CMavenVersion::Parse(version)).affecting);
}
}  // namespace

// Each kind of file is counted once, the malformed by name, and only what may match matches.
TEST(AdvisoryLoaderTest, AFolderLoadCountsEveryKindOfRecord)
{
    CTempDir dir;
    std::filesystem::create_directories(dir.File("2024/05"));
    WriteFileText(dir.File("a.json"), Record("GHSA-a", "2024-05-01T00:00:00Z", "org.acme:parser", kUntil2,
                                             R"("summary": "<script>alert(1)</script>",)"));
    WriteFileText(dir.File("2024/05/w.json"), Record("GHSA-w", "2024-05-01T00:00:00Z", "org.acme:parser", kUntil3,
                                                     R"("withdrawn": "2024-05-02T00:00:00Z",)"));
    // a range type Maven's order cannot evaluate
    std::string unknownType = Record("GHSA-u", "2024-05-01T00:00:00Z", "org.acme:parser", R"([{"introduced": "0"}])");
    unknownType.replace(unknownType.find("ECOSYSTEM"), 9, "SEMVER");
    WriteFileText(dir.File("u.json"), unknownType);
    WriteFileText(dir.File("npm.json"), R"({"id": "GHSA-n", "modified": "2024-05-01T00:00:00Z",
        "affected": [{"package": {"ecosystem": "npm", "name": "parser"}, "versions": ["1.0"]}]})");
    WriteFileText(dir.File("2024/broken.json"), "{\"id\": \"GHSA-b\",");
    WriteFileText(dir.File("deep.json"), std::string(10000, '[') + std::string(10000, ']'));
    WriteFileText(dir.File("notes.txt"), "not a record");

    CAdvisorySet set;
    const CAdvisoryLoadReport report = CAdvisoryLoader(set).Load(dir.Path());
    EXPECT_EQ(report.error, "");
    EXPECT_EQ(report.loaded, 3u);
    EXPECT_EQ(report.added, 3u);
    EXPECT_EQ(report.withdrawn, 1u);
    EXPECT_EQ(report.unevaluable, 1u);
    EXPECT_EQ(report.ignored, 1u);
    EXPECT_EQ(report.malformed, 2u);
    ASSERT_EQ(report.malformedFiles.size(), 2u);
    EXPECT_EQ(report.malformedFiles[0].rfind("2024/broken.json: not JSON", 0), 0u) << report.malformedFiles[0];
    EXPECT_EQ(report.malformedFiles[1], "deep.json: nested deeper than 64 levels");
    ASSERT_EQ(report.unevaluableRecords.size(), 1u);
    EXPECT_EQ(report.unevaluableRecords[0], "GHSA-u: range type \"SEMVER\" cannot be evaluated");

    // The withdrawn record matches nothing; the unevaluable one is named, never matched.
    EXPECT_EQ(Affecting(set, "org.acme:parser", "2.5"), std::vector<std::string>{});
    const CAdvisorySet::CMatch match = set.Match("org.acme:parser", *CMavenVersion::Parse("1.5"));
    EXPECT_EQ(Ids(match.affecting), std::vector<std::string>{"GHSA-a"});
    EXPECT_EQ(Ids(match.unevaluable), std::vector<std::string>{"GHSA-u"});
    EXPECT_EQ(set.Find("GHSA-a")->summary, "<script>alert(1)</script>");  // kept as written; pages escape it
    EXPECT_EQ(Affecting(set, "org.acme:other", "1.5"), std::vector<std::string>{});
}

// Loading the same records again changes nothing; only a newer "modified" replaces.
TEST(AdvisoryLoaderTest, ReloadingReplacesARecordOnlyWithANewerCopy)
{
    CTempDir dir;
    CAdvisorySet set;
    CAdvisoryLoader loader(set);
    auto load = [&](const std::string& text) {
        WriteFileText(dir.File("GHSA-a.json"), text);
        return loader.Load(dir.Path());
    };
    struct Step
    {
        std::string record;
        size_t added, replaced, kept;
        bool affects25;
    };
    const Step steps[] = {
        {Record("GHSA-a", "2024-05-01T00:00:00Z", "org.acme:parser", kUntil2), 1, 0, 0, false},
        {Record("GHSA-a", "2024-05-01T00:00:00Z", "org.acme:parser", kUntil2), 0, 0, 1, false},
        // older, even if it looks later in another offset: kept out
        {Record("GHSA-a", "2024-05-01T01:00:00+02:00", "org.acme:parser", kUntil3), 0, 0, 1, false},
        {Record("GHSA-a", "2023-12-31T00:00:00Z", "org.acme:parser", kUntil3), 0, 0, 1, false},
        {Record("GHSA-a", "2024-05-01T00:00:00.5Z", "org.acme:parser", kUntil3), 0, 1, 0, true},
        {Record("GHSA-a", "2024-06-01T00:00:00Z", "org.acme:parser", kUntil3, R"("withdrawn": "2024-06-01T00:00:00Z",)"),
         0, 1, 0, false},
        // an older copy cannot bring a withdrawn record back
        {Record("GHSA-a", "2024-05-01T00:00:00.5Z", "org.acme:parser", kUntil3), 0, 0, 1, false},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        const CAdvisoryLoadReport report = load(steps[i].record);
        EXPECT_EQ(report.added, steps[i].added) << "step " << i;
        EXPECT_EQ(report.replaced, steps[i].replaced) << "step " << i;
        EXPECT_EQ(report.kept, steps[i].kept) << "step " << i;
        EXPECT_EQ(Affecting(set, "org.acme:parser", "2.5").size(), steps[i].affects25 ? 1u : 0u) << "step " << i;
        EXPECT_EQ(set.Size(), 1u);
    }
}

// Archives as the bulk exports publish them load like folders; hostile ones stay bounded.
TEST(AdvisoryLoaderTest, ArchivesLoadWithinTheirBounds)
{
    CTempDir dir;
    const std::string a = Record("GHSA-a", "2024-05-01T00:00:00Z", "org.acme:parser", kUntil2);
    const std::string b = Record("GHSA-b", "2024-05-01T00:00:00Z", "org.acme:lexer", kUntil3);
    const std::string padded = Record("GHSA-p", "2024-05-01T00:00:00Z", "org.acme:padded", kUntil2,
                                      R"("details": ")" + std::string(40000, 'x') + R"(",)");
    CAdvisoryLimits small;
    small.maxRecordBytes = 64 * 1024;

    MakeArchiveOf(dir.File("all.zip"), {{"GHSA-a.json", a}, {"README.md", "x"}, {"sub/GHSA-b.json", b}});
    CAdvisorySet set;
    CAdvisoryLoadReport report = CAdvisoryLoader(set, small).Load(dir.File("all.zip"));
    EXPECT_EQ(report.error, "");
    EXPECT_EQ(report.loaded, 2u);
    EXPECT_EQ(Affecting(set, "org.acme:lexer", "2.5"), std::vector<std::string>{"GHSA-b"});

    // An entry of 16 MiB that deflates to a few KiB: refused by name after the bound,
    // and the entries after it still load.
    MakeArchiveOf(dir.File("bomb.zip"), {{"bomb.json", std::string(16 << 20, ' ')}, {"GHSA-a.json", a}});
    report = CAdvisoryLoader(set, small).Load(dir.File("bomb.zip"));
    EXPECT_EQ(report.malformedFiles, std::vector<std::string>{"bomb.json: inflates past 65536 bytes"});
    EXPECT_EQ(report.loaded, 1u);

    // The same in a folder: a file over the bound is not read at all.
    std::filesystem::create_directory(dir.File("big"));
    WriteFileText(dir.File("big/huge.json"), std::string(small.maxRecordBytes + 1, ' '));
    report = CAdvisoryLoader(set, small).Load(dir.File("big"));
    EXPECT_EQ(report.malformedFiles, std::vector<std::string>{"huge.json: larger than 65536 bytes"});

    // The total bound stops the load; the count bound refuses the archive whole.
    MakeArchiveOf(dir.File("three.zip"), {{"1.json", padded}, {"2.json", padded}, {"3.json", padded}});
    CAdvisoryLimits total = small;
    total.maxTotalBytes = 100 * 1024;
    CAdvisorySet cut;
    report = CAdvisoryLoader(cut, total).Load(dir.File("three.zip"));
    EXPECT_EQ(report.error, "stopped after 102400 bytes: the rest was not read");
    EXPECT_EQ(report.loaded, 2u);
    CAdvisoryLimits few = small;
    few.maxFiles = 2;
    report = CAdvisoryLoader(cut, few).Load(dir.File("three.zip"));
    EXPECT_NE(report.error.find("more than 2 entries; nothing loaded"), std::string::npos) << report.error;
    EXPECT_EQ(report.loaded, 0u);

    // Neither archive nor record; and one record file on its own.
    WriteFileText(dir.File("broken.zip"), "PK\x03\x04 torn");
    report = CAdvisoryLoader(cut).Load(dir.File("broken.zip"));
    EXPECT_NE(report.error.find("not a folder, a ZIP archive or a .json file"), std::string::npos) << report.error;
    WriteFileText(dir.File("one.json"), b);
    report = CAdvisoryLoader(cut).Load(dir.File("one.json"));
    EXPECT_EQ(report.loaded, 1u);
    EXPECT_NE(CAdvisoryLoader(cut).Load(dir.File("missing")).error, "");
}
