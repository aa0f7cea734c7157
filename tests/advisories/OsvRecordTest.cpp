#include "OsvReader.h"

#include <gtest/gtest.h>

#include "CvssScore.h"
#include "OsvWriter.h"

namespace
{
// A record in the OSV format with one Maven package "org.acme:parser" described by affected.
std::string Record(const std::string& affected, const std::string& extra = "")
{
    return R"({"id": "GHSA-test-0001", "modified": "2024-05-01T12:00:00Z", "summary": "Parser flaw",)" + extra +
           R"( "affected": [{"package": {"ecosystem": "Maven", "name": "org.acme:parser"}, )" + affected + "}]}";
}

COsvRecord ReadRecord(const std::string& text)
{
    COsvReader::CRead read = COsvReader::Read(text);
    EXPECT_EQ(read.result, COsvReader::EResult::Record) << read.error << "\n" << text;
    return read.record;
}

bool Affects(const COsvRecord& record, const char* version)
{
    return record.Affects("org.acme:parser", *CMavenVersion::Parse(version));
}
}  // namespace

// The schema's evaluation: a listed version, or one inside a timeline and below its limits.
TEST(OsvRecordTest, RangesAffectExactlyTheVersionsTheirTimelineCovers)
{
    struct Case
    {
        const char* affected;
        std::vector<std::pair<const char*, bool>> versions;
    };
    const Case cases[] = {
        {R"("ranges": [{"type": "ECOSYSTEM", "events": [{"introduced": "0"}, {"fixed": "1.2.3"}]}])",
         {{"0.1", true}, {"1.2.2", true}, {"1.2.3-rc1", true}, {"1.2.3", false}, {"1.2.3.0", false}, {"2.0", false}}},
        {R"("ranges": [{"type": "ECOSYSTEM", "events": [{"introduced": "0"}]}])",
         {{"1-alpha-1", true}, {"0.0.1", true}, {"99", true}}},
        {R"("ranges": [{"type": "ECOSYSTEM", "events": [{"introduced": "1.0"}, {"last_affected": "1.5"}]}])",
         {{"0.9", false}, {"1.0-rc1", false}, {"1.0", true}, {"1.5", true}, {"1.5-sp1", false}, {"1.5.1", false}}},
        {R"("ranges": [{"type": "ECOSYSTEM", "events": [{"introduced": "1.0"}, {"fixed": "1.2"},
            {"introduced": "2.0"}, {"fixed": "2.3"}]}])",
         {{"1.1", true}, {"1.2", false}, {"1.9", false}, {"2.0", true}, {"2.2.9", true}, {"2.3", false}}},
        {R"("ranges": [{"type": "ECOSYSTEM", "events": [{"introduced": "0"}, {"limit": "2.0"}]}])",
         {{"1.9", true}, {"2.0", false}, {"3", false}}},
        {R"("ranges": [{"type": "ECOSYSTEM", "events": [{"introduced": "1.0"}, {"limit": "*"}]}])",
         {{"0.9", false}, {"5", true}}},
        {R"("versions": ["1.0.1", "1.0.3"])", {{"1.0.1", true}, {"1.0.1.0", true}, {"1.0.2", false}, {"1.0.3", true}}},
        {R"("ranges": [{"type": "ECOSYSTEM", "events": [{"introduced": "2.0"}, {"fixed": "3.0"}]}],
            "versions": ["1.0"])",
         {{"1.0", true}, {"1.5", false}, {"2.5", true}, {"3.0", false}}},
        // a fix equal in Maven's order to the introduction leaves nothing affected
        {R"("ranges": [{"type": "ECOSYSTEM", "events": [{"introduced": "1.0"}, {"fixed": "1"}]}])", {{"1.0", false}}},
    };
    for (const Case& c : cases) {
        const COsvRecord record = ReadRecord(Record(c.affected));
        ASSERT_EQ(record.unevaluable, "") << c.affected;
        // The store's copy of the record evaluates alike.
        const COsvRecord stored = ReadRecord(WriteOsvRecord(record));
        for (const auto& [version, affected] : c.versions) {
            EXPECT_EQ(Affects(record, version), affected) << version << " in " << c.affected;
            EXPECT_EQ(Affects(stored, version), affected) << version << " stored, " << c.affected;
        }
        EXPECT_FALSE(record.Affects("org.acme:other", *CMavenVersion::Parse("1.0.1"))) << c.affected;
    }

    // Several affected entries for one package (as GitHub writes one range each) add up.
    const COsvRecord twoEntries = ReadRecord(R"({"id": "GHSA-test-0002", "modified": "2024-05-01T12:00:00Z",
        "affected": [
          {"package": {"ecosystem": "npm", "name": "parser"}, "ranges": [{"type": "SEMVER", "events": [{"introduced": "0"}]}]},
          {"package": {"ecosystem": "Maven", "name": "org.acme:parser"},
           "ranges": [{"type": "ECOSYSTEM", "events": [{"introduced": "1.0"}, {"fixed": "1.1"}]}]},
          {"package": {"ecosystem": "Maven", "name": "org.acme:parser"},
           "ranges": [{"type": "ECOSYSTEM", "events": [{"introduced": "2.0"}, {"fixed": "2.1"}]}]}]})");
    EXPECT_EQ(twoEntries.unevaluable, "");  // the npm entry is not read at all
    EXPECT_EQ(twoEntries.affected.size(), 2u);
    EXPECT_TRUE(Affects(twoEntries, "1.0.5"));
    EXPECT_TRUE(Affects(twoEntries, "2.0.5"));
    EXPECT_FALSE(Affects(twoEntries, "1.5"));
    // What to move to: the lowest fix above the version, of any of the package's entries.
    for (const auto& [version, fixed] : std::vector<std::pair<const char*, const char*>>{
             {"1.0.5", "1.1"}, {"1.1", "2.1"}, {"2.0.5", "2.1"}, {"2.1", ""}})
        EXPECT_EQ(twoEntries.FixedAfter("org.acme:parser", *CMavenVersion::Parse(version)), fixed) << version;
}

// What Maven's order cannot answer is marked and matches no version at all.
TEST(OsvRecordTest, ARangeThatCannotBeEvaluatedIsMarkedAndNeverMatches)
{
    const std::pair<const char*, const char*> cases[] = {
        {R"("ranges": [{"type": "SEMVER", "events": [{"introduced": "0"}, {"fixed": "2.0"}]}])", "range type \"SEMVER\""},
        {R"("ranges": [{"type": "GIT", "repo": "https://example.org/r", "events": [{"introduced": "0"}]}])", "range type \"GIT\""},
        {R"("ranges": [{"type": "ECOSYSTEM", "events": [{"fixed": "2.0"}, {"introduced": "1.0"}]}])", "out of order"},
        {R"("ranges": [{"type": "ECOSYSTEM", "events": [{"introduced": "1.0"}, {"fixed": "2.0"},
            {"introduced": "1.5"}, {"fixed": "3.0"}]}])", "out of order"},
        {R"("ranges": [{"type": "ECOSYSTEM", "events": [{"fixed": "2.0"}]}])", "without \"introduced\""},
        {R"("ranges": [{"type": "ECOSYSTEM", "events": [{"introduced": "0"}, {"fixed": "1.0"}, {"last_affected": "1.5"}]}])", "both"},
        {R"("ranges": [{"type": "ECOSYSTEM", "events": [{"introduced": "1.0", "fixed": "2.0"}]}])", "exactly one"},
        {R"("ranges": [{"type": "ECOSYSTEM", "events": [{"introduced": "1.0 beta"}]}])", "cannot be ordered"},
        {R"("versions": ["1.0", ""])", "cannot be ordered"},
        {R"("ranges": [])", "neither ranges nor versions"},
    };
    for (const auto& [affected, reason] : cases) {
        const COsvRecord record = ReadRecord(Record(affected));
        EXPECT_NE(record.unevaluable.find(reason), std::string::npos) << record.unevaluable << " for " << affected;
        EXPECT_NE(ReadRecord(WriteOsvRecord(record)).unevaluable, "") << "stored, " << affected;
        for (const char* version : {"0.1", "1.0", "1.2", "2.5", "9"})
            EXPECT_FALSE(Affects(record, version)) << version << " in " << affected;
    }
}

// A record that breaks the schema is refused with the reason; other ecosystems are told apart.
TEST(OsvRecordTest, MalformedRecordsAreRefusedWithTheirReason)
{
    const std::string deep = std::string(100, '[') + std::string(100, ']');
    const std::pair<std::string, const char*> cases[] = {
        {"not json{", "not JSON"},
        {"[]", "not a JSON object"},
        {R"({"modified": "2024-05-01T12:00:00Z"})", "no \"id\""},
        {R"({"id": "GHSA-1", "modified": "yesterday"})", "\"modified\""},
        {R"({"id": "GHSA-1"})", "no \"modified\""},
        {R"({"id": "GHSA-1\n<b>", "modified": "2024-05-01T12:00:00Z"})", "\"id\""},
        {R"({"id": ")" + std::string(200, 'x') + R"(", "modified": "2024-05-01T12:00:00Z"})", "\"id\""},
        {R"({"id": "GHSA-1", "modified": "2024-02-30T12:00:00Z"})", "\"modified\""},
        {R"({"id": "GHSA-1", "modified": "2024-05-01T12:00:00Z", "withdrawn": "soon"})", "\"withdrawn\""},
        {R"({"id": "GHSA-1", "modified": "2024-05-01T12:00:00Z", "aliases": "CVE-2024-1"})", "\"aliases\""},
        {R"({"id": "GHSA-1", "modified": "2024-05-01T12:00:00Z", "summary": 7})", "\"summary\""},
        {R"({"id": "GHSA-1", "modified": "2024-05-01T12:00:00Z", "summary": "bad )" "\xff\xfe" R"("})", "not JSON"},
        {R"({"id": "GHSA-1", "modified": "2024-05-01T12:00:00Z", "database_specific": )" + deep + "}", "nested deeper"},
        {Record(R"("ranges": [{"type": "ECOSYSTEM", "events": [{"introduced": 1}]}])"), "\"introduced\" is not a string"},
        {Record(R"("ranges": [{"events": []}])"), "no \"type\""},
        {Record(R"("ranges": "all")"), "\"ranges\""},
        {R"({"id": "GHSA-1", "modified": "2024-05-01T12:00:00Z",
            "affected": [{"package": {"ecosystem": "Maven", "name": "parser"}}]})", "group:artifact"},
    };
    for (const auto& [text, reason] : cases) {
        COsvReader::CRead read = COsvReader::Read(text);
        EXPECT_EQ(read.result, COsvReader::EResult::Malformed) << text;
        EXPECT_NE(read.error.find(reason), std::string::npos) << read.error << " for " << text;
    }

    COsvReader::CRead npm = COsvReader::Read(R"({"id": "GHSA-2", "modified": "2024-05-01T12:00:00Z",
        "affected": [{"package": {"ecosystem": "npm", "name": "left-pad"}, "versions": ["1.0"]}]})");
    EXPECT_EQ(npm.result, COsvReader::EResult::OtherEcosystem);
    COsvReader::CRead google = COsvReader::Read(R"({"id": "GHSA-3", "modified": "2024-05-01T12:00:00+02:00",
        "affected": [{"package": {"ecosystem": "Maven:https://maven.google.com", "name": "com.android:tools"},
        "versions": ["1.0"]}]})");
    ASSERT_EQ(google.result, COsvReader::EResult::Record) << google.error;
    EXPECT_EQ(google.record.modified.seconds, COsvTime::Parse("2024-05-01T10:00:00Z")->seconds);
}

TEST(OsvRecordTest, SeverityComesFromTheDatabaseOrTheCvssBaseScore)
{
    // Published base scores of well-known vectors.
    const std::pair<const char*, double> scores[] = {
        {"CVSS:3.1/AV:N/AC:L/PR:N/UI:N/S:U/C:H/I:H/A:H", 9.8},
        {"CVSS:3.1/AV:N/AC:L/PR:N/UI:N/S:C/C:H/I:H/A:H", 10.0},
        {"CVSS:3.1/AV:N/AC:H/PR:N/UI:N/S:C/C:H/I:N/A:N", 6.8},
        {"CVSS:3.0/AV:N/AC:L/PR:L/UI:R/S:C/C:L/I:L/A:N", 5.4},
        {"CVSS:3.1/AV:N/AC:L/PR:N/UI:N/S:U/C:N/I:N/A:H", 7.5},
        {"CVSS:3.1/AV:L/AC:L/PR:L/UI:N/S:U/C:N/I:N/A:N", 0.0},
        {"CVSS:3.1/AV:N/AC:L/PR:N/UI:N/S:U/C:H/I:H/A:H/E:P/RL:O", 9.8},  // temporal metrics leave the base alone
    };
    for (const auto& [vector, score] : scores) {
        auto computed = CvssV3BaseScore(vector);
        ASSERT_TRUE(computed) << vector;
        EXPECT_DOUBLE_EQ(*computed, score) << vector;
    }
    for (const char* bad : {"CVSS:2.0/AV:N/AC:L/Au:N/C:P/I:P/A:P", "CVSS:3.1/AV:N/AC:L/PR:N/UI:N/S:U/C:H/I:H",
                            "CVSS:3.1/AV:N/AV:N/AC:L/PR:N/UI:N/S:U/C:H/I:H/A:H", "CVSS:3.1/AV:X/AC:L/PR:N/UI:N/S:U/C:H/I:H/A:H",
                            "CVSS:3.1/AV:N/AC:L/PR:N/UI:N/S:U/C:H/I:H/A:H/", "AV:N/AC:L/PR:N/UI:N/S:U/C:H/I:H/A:H"})
        EXPECT_FALSE(CvssV3BaseScore(bad)) << bad;

    const std::string ranges = R"("versions": ["1.0"])";
    const std::pair<std::string, ESeverityLevel> levels[] = {
        {R"("database_specific": {"severity": "MODERATE"},)", ESeverityLevel::Medium},
        {R"("database_specific": {"severity": "LOW"}, "severity": [{"type": "CVSS_V3", "score": "CVSS:3.1/AV:N/AC:L/PR:N/UI:N/S:U/C:H/I:H/A:H"}],)",
         ESeverityLevel::Low},
        {R"("severity": [{"type": "CVSS_V3", "score": "CVSS:3.1/AV:N/AC:L/PR:N/UI:N/S:U/C:N/I:N/A:H"}],)", ESeverityLevel::High},
        {R"("severity": [{"type": "CVSS_V3", "score": "CVSS:3.1/AV:N/AC:L/PR:N/UI:N/S:U/C:H/I:H/A:H"}],)", ESeverityLevel::Critical},
        {R"("severity": [{"type": "CVSS_V3", "score": "CVSS:3.1/AV:L/AC:L/PR:L/UI:N/S:U/C:N/I:N/A:N"}],)", ESeverityLevel::None},
        {R"("severity": [{"type": "CVSS_V4", "score": "CVSS:4.0/AV:N/AC:L/AT:N/PR:N/UI:N/VC:H/VI:H/VA:H/SC:N/SI:N/SA:N"}],)",
         ESeverityLevel::Unknown},
        {"", ESeverityLevel::Unknown},
    };
    for (const auto& [extra, level] : levels)
        EXPECT_EQ(SeverityLevelName(ReadRecord(Record(ranges, extra)).Severity()), SeverityLevelName(level)) << extra;
    // a package's own severity where the record has none
    const COsvRecord packageLevel = ReadRecord(Record(ranges + R"(, "severity": [{"type": "CVSS_V3",
        "score": "CVSS:3.1/AV:N/AC:H/PR:N/UI:N/S:C/C:H/I:N/A:N"}])"));
    EXPECT_EQ(packageLevel.Severity(), ESeverityLevel::Medium);
}
