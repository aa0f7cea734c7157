#include "IndexWriter.h"

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AdvisoryClient.h"
#include "CatalogueEntries.h"
#include "ScanResults.h"
#include "XmlDocument.h"
#include "support/RecordingHttpServer.h"
#include "support/TestSupport.h"

using Strings = std::vector<std::string>;

namespace
{
// Each component of the index as "name | version | artifact | secondary category" and its
// places' attributes; the ids beside.
Strings ReadBack(const std::string& path, Strings& ids)
{
    CXmlDocument index;
    EXPECT_TRUE(index.Load(path)) << index.GetParseError().reason;
    auto text = [](const CXmlNode& element, const char* child) {
        auto nodes = element.SelectNodes(child);
        return nodes && nodes->GetLength() ? nodes->GetItem(0).GetFirstChild().GetNodeValue().value_or("") : "-";
    };
    Strings lines;
    auto components = index.SelectNodes("components/component");
    for (const CXmlNode& component : *components) {
        ids.push_back(component.GetAttribute("SCID").value_or(""));
        std::string line = text(component, "componentName") + " | " + text(component, "version") + " | " +
                           text(component, "artifact") + " | " + text(component, "categories/category/secondaryCategory");
        auto places = component.SelectNodes("foundIn");
        for (const CXmlNode& place : *places) {
            line += " |";
            for (const char* name : {"path", "match", "classes", "relocatedPrefix", "basis", "version", "candidates",
                                     "claimedVersion", "claimedBy", "sha1", "sha256"})
                if (auto value = place.GetAttribute(name))
                    line += std::string(" ") + name + "=" + *value;
        }
        lines.push_back(line);
    }
    return lines;
}

CUnidentified Unit(std::string path, std::string match, std::string artifact = "", std::string version = "")
{
    CUnidentified unit;
    unit.path = std::move(path);
    unit.match = std::move(match);
    unit.artifact = std::move(artifact);
    unit.version = std::move(version);
    return unit;
}
}  // namespace

TEST(IndexWriterTest, PlacesCarryTheirVersionsAndEveryUnidentifiedArchiveHasAnEntry)
{
    CRecordingHttpServer http;
    http.Server().Get("/xql.dll/components/vendors/components.bnd", [](const httplib::Request&, httplib::Response& r) {
        r.set_content("<components><component SCID=\"7\"><componentName>Kit</componentName></component></components>",
                      "text/xml");
    });
    http.Start();
    CCatalogueEntries catalogue;
    std::string error;
    ASSERT_TRUE(catalogue.Fetch("http://127.0.0.1:" + std::to_string(http.Port()), {"7"}, error)) << error;

    CScanResults results;
    CFind pinned("/lib/<b>a</b>.jar", CMatch::Direct, 4);
    pinned.version = "<script>x</script>";
    pinned.basis = CVersionBasis::Fingerprints;
    pinned.claimedVersion = "9.9";
    pinned.claimedBy = "pom.properties";
    CFind shaded("/lib/uber.jar", CMatch::Relocated, 3);
    shaded.relocatedPrefix = "shaded.";
    shaded.basis = CVersionBasis::Fingerprints;
    shaded.candidates = {"1.2.0", "1.2.1"};
    // Bytes a Linux file name may hold but XML may not: the index stays readable.
    CFind bytes("/lib/latin\xE9-\x01-\xC0\xAF-\xED\xA0\x80-\xF0\x9F\x98\x80.jar", CMatch::Direct, 1);
    for (const CFind& find : {pinned, shaded, bytes})
        results.AddFind("7", find);
    CUnidentified byPom = Unit("/m2/guice-4.2.jar", "metadata", "guice", "4.2");
    byPom.group = "com.google";
    byPom.sha1 = "ab12";
    CUnidentified copy = byPom;  // the same artifact elsewhere: one entry, two places
    copy.path = "/app/guice.jar";
    copy.sha1 = "";
    CUnidentified nested = Unit("/app/shop.war!/WEB-INF/lib/tiny.jar", "manifest", "", "2.0");
    nested.name = "Tiny";
    nested.nested = true;
    for (const CUnidentified& unit : {byPom, copy, nested, Unit("/m2/olden-0.9.jar", "filename", "olden", "0.9"),
                                      Unit("/a/lib.jar", "unidentified"), Unit("/b/lib.jar", "unidentified")})
        results.AddUnidentified(unit);

    CTestRegistry registry;
    const std::string path = CIndexWriter::IndexPath(false);
    ASSERT_TRUE(CIndexWriter::Write(path, results, catalogue));
    Strings ids;
    EXPECT_EQ(ReadBack(path, ids),
              (Strings{
                  "Kit | - | - | -"
                  " | path=/lib/<b>a</b>.jar match=direct classes=4 basis=fingerprints version=<script>x</script> "
                  "claimedVersion=9.9 claimedBy=pom.properties"
                  " | path=/lib/uber.jar match=relocated classes=3 relocatedPrefix=shaded. basis=fingerprints "
                  "candidates=1.2.0 1.2.1"
                  " | path=/lib/latin\uFFFD-\uFFFD-\uFFFD\uFFFD-\uFFFD\uFFFD\uFFFD-\U0001F600.jar match=direct classes=1",
                  "guice 4.2 | 4.2 | com.google:guice | Named by pom.properties"
                  " | path=/m2/guice-4.2.jar match=direct classes=0 basis=metadata version=4.2 sha1=ab12"
                  " | path=/app/guice.jar match=direct classes=0 basis=metadata version=4.2",
                  "Tiny 2.0 | 2.0 | - | Named by MANIFEST.MF"
                  " | path=/app/shop.war!/WEB-INF/lib/tiny.jar match=nested classes=0 basis=manifest version=2.0",
                  "olden 0.9 | 0.9 | olden | Named by file name"
                  " | path=/m2/olden-0.9.jar match=direct classes=0 basis=filename version=0.9",
                  // Two different archives of one name: the tree shows each.
                  "lib.jar | - | - | Unknown | path=/a/lib.jar match=direct classes=0",
                  "lib.jar (/b/lib.jar) | - | - | Unknown | path=/b/lib.jar match=direct classes=0",
              }));
    // Ids no catalogue SCID can be, each its own, the same in the next scan.
    for (size_t i = 1; i < ids.size(); ++i)
        EXPECT_TRUE(ids[i].starts_with("local:") && ids[i].size() == 22) << ids[i];
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size());
    ASSERT_TRUE(CIndexWriter::Write(path, results, catalogue));
    Strings again;
    ReadBack(path, again);
    EXPECT_EQ(again, ids);
}

// A component that known vulnerabilities affect says so for the tree, gathers under a
// category of its own, and holds each record with the places of the affected copies; one the
// server cannot rule out counts. The advisories of an archive named by its pom.properties too.
TEST(IndexWriterTest, AffectedComponentsCarryTheirAdvisoriesAndTheirCategory)
{
    CRecordingHttpServer http;
    http.Server().Get("/xql.dll/components/vendors/components.bnd", [](const httplib::Request& q, httplib::Response& r) {
        const std::string scid = q.get_param_value("scid");
        r.set_content("<components><component SCID=\"" + scid + "\"><componentName>C" + scid +
                          "</componentName><version>2.0</version><artifact>org.c:c" + scid +
                          "</artifact><categories><category><primaryCategory>Tools</primaryCategory>"
                          "<secondaryCategory>General</secondaryCategory></category></categories></component></components>",
                      "text/xml");
    });
    http.Start();
    CCatalogueEntries catalogue;
    std::string error;
    ASSERT_TRUE(catalogue.Fetch("http://127.0.0.1:" + std::to_string(http.Port()), {"1", "2"}, error)) << error;
    CScanResults results;
    CFind set("/lib/set.jar", CMatch::Direct, 3), own("/lib/own.jar", CMatch::Direct, 3);
    set.candidates = {"1.0", "1.1"};
    own.version = "1.0";
    results.AddFind("1", set);
    results.AddFind("1", own);
    results.AddFind("2", CFind("/lib/safe.jar", CMatch::Direct, 2));  // the catalogue's 2.0: not affected
    CUnidentified pom;
    pom.path = "/m2/p.jar";
    pom.match = "metadata";
    pom.group = "org.p";
    pom.artifact = "p";
    pom.version = "3";
    results.AddUnidentified(pom);

    CAdvisoryClient advisories;
    const std::vector<CPackageVersion> asked = {{"org.c:c1", "1.0"}, {"org.c:c1", "1.1"}, {"org.c:c2", "2.0"}, {"org.p:p", "3"}};
    ASSERT_TRUE(advisories.ReadAnswer(R"({"generation":2,"results":[
        {"advisories":[{"id":"GHSA-1","aliases":["CVE-1"],"summary":"<script>alert(1)</script>","severity":"high",
                        "fixed":"1.2","ratings":[{"method":"CVSSv31","vector":"CVSS:3.1/AV:N","score":7.5}]}]},
        {"unevaluable":[{"id":"OSV-9","severity":"unknown"}]},
        {},
        {"advisories":[{"id":"GHSA-2","severity":"low","fixed":"4"}]}]})",
                                      asked, error))
        << error;
    CTestRegistry registry;
    const std::string path = CIndexWriter::IndexPath(false);
    ASSERT_TRUE(CIndexWriter::Write(path, results, catalogue, &advisories));
    CXmlDocument index;
    ASSERT_TRUE(index.Load(path));
    auto nodes = [](const auto& parent, const char* xpath) {
        std::vector<CXmlNode> list;
        if (auto found = parent.SelectNodes(xpath))
            for (const CXmlNode& node : *found)
                list.push_back(node);
        return list;
    };
    auto text = [&](const CXmlNode& parent, const char* child) {
        auto found = nodes(parent, child);
        return found.empty() ? std::string() : found[0].GetFirstChild().GetNodeValue().value_or("");
    };
    Strings lines;
    for (const CXmlNode& component : nodes(index, "components/component")) {
        std::string line = component.GetAttribute("affected").value_or("-");
        for (const CXmlNode& category : nodes(component, "categories/category"))
            line += " [" + text(category, "primaryCategory") + "/" + text(category, "secondaryCategory") + "]";
        for (const CXmlNode& advisory : nodes(component, "advisory")) {
            line += " " + advisory.GetAttribute("id").value_or("") + " " + advisory.GetAttribute("severity").value_or("") +
                    " fixed=" + advisory.GetAttribute("fixed").value_or("-") + " versions=" +
                    advisory.GetAttribute("versions").value_or("") + " evaluable=" +
                    advisory.GetAttribute("evaluable").value_or("");
            for (const char* child : {"alias", "summary", "rating/@score", "affects/@path"})
                for (const CXmlNode& node : nodes(advisory, child))
                    line += " " + (node.GetFirstChild() ? node.GetFirstChild().GetNodeValue().value_or("")
                                                        : node.GetNodeValue().value_or(""));
        }
        lines.push_back(line);
    }
    EXPECT_EQ(lines, (Strings{"yes [Tools/General] [Affected by known vulnerabilities/High]"
                              " GHSA-1 high fixed=1.2 versions=1.0 evaluable=yes CVE-1 <script>alert(1)</script> 7.5"
                              " /lib/set.jar /lib/own.jar"
                              " OSV-9 unknown fixed=- versions=1.1 evaluable=no /lib/set.jar",
                              "- [Tools/General]",
                              "yes [Unidentified archives/Named by pom.properties] [Affected by known vulnerabilities/Low]"
                              " GHSA-2 low fixed=4 versions=3 evaluable=yes /m2/p.jar"}));
    // The same scan writes the same bytes; without advisory data, no trace of them.
    const std::string with = ReadFileText(path);
    ASSERT_TRUE(CIndexWriter::Write(path, results, catalogue, &advisories));
    EXPECT_EQ(ReadFileText(path), with);
    ASSERT_TRUE(CIndexWriter::Write(path, results, catalogue, nullptr));
    const std::string without = ReadFileText(path);
    CAdvisoryClient none;
    ASSERT_TRUE(none.ReadAnswer(R"({"generation":0,"results":[]})", asked, error));
    ASSERT_TRUE(CIndexWriter::Write(path, results, catalogue, &none));
    EXPECT_EQ(ReadFileText(path), without);
    EXPECT_EQ(without.find("advisory"), std::string::npos);
}
