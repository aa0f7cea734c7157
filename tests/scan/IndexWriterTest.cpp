#include "IndexWriter.h"

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CatalogueEntries.h"
#include "ScanResults.h"
#include "XmlDocument.h"
#include "support/RecordingHttpServer.h"
#include "support/TestSupport.h"

using Strings = std::vector<std::string>;

namespace
{
std::string Attributes(const CXmlNode& element)
{
    std::string text;
    for (const char* name : {"path", "match", "classes", "relocatedPrefix", "basis", "version", "candidates",
                             "claimedVersion", "claimedBy", "sha1", "sha256"})
        if (auto value = element.GetAttribute(name))
            text += std::string(text.empty() ? "" : " ") + name + "=" + *value;
    return text;
}

std::string Child(const CXmlNode& element, const std::string& path)
{
    auto nodes = element.SelectNodes(path);
    return nodes && nodes->GetLength() ? nodes->GetItem(0).GetFirstChild().GetNodeValue().value_or("") : "-";
}

CUnidentified Unit(std::string path, std::string match, std::string artifact = "", std::string version = "")
{
    CUnidentified unit;
    unit.path = std::move(path);
    unit.match = std::move(match);
    unit.artifact = std::move(artifact);
    unit.version = std::move(version);
    unit.classes = 3;
    return unit;
}

class IndexWriterTest : public ::testing::Test
{
protected:
    IndexWriterTest()
    {
        m_http.Server().Get("/xql.dll/components/vendors/components.bnd",
                            [](const httplib::Request&, httplib::Response& response) {
                                response.set_content("<components><component SCID=\"7\"><componentName>Parser Kit"
                                                     "</componentName></component></components>",
                                                     "text/xml");
                            });
        m_http.Start();
        std::string error;
        EXPECT_TRUE(m_catalogue.Fetch("http://127.0.0.1:" + std::to_string(m_http.Port()), {"7"}, error)) << error;
    }

    // Writes the results and answers the saved index, loaded anew.
    CXmlNode Write(CXmlDocument& index)
    {
        EXPECT_TRUE(CIndexWriter::Write(m_path, m_results, m_catalogue));
        EXPECT_TRUE(index.Load(m_path)) << index.GetParseError().reason;
        return index.GetDocumentElement();
    }

    CTestRegistry m_registry;
    CRecordingHttpServer m_http;
    CCatalogueEntries m_catalogue;
    CScanResults m_results;
    std::string m_path = m_registry.DataDir() + "/Local/components.xml";
};
}  // namespace

TEST_F(IndexWriterTest, EachPlaceCarriesItsVersionAndHowItWasEstablished)
{
    CFind plain("/lib/plain.jar", CMatch::Direct, 4);
    CFind pinned("/lib/pinned.jar", CMatch::Direct, 4);
    pinned.version = "1.2.0";
    pinned.basis = CVersionBasis::Fingerprints;
    pinned.claimedVersion = "9.9";
    pinned.claimedBy = "pom.properties";
    CFind shaded("/lib/uber.jar", CMatch::Relocated, 3);
    shaded.relocatedPrefix = "shaded.";
    shaded.basis = CVersionBasis::Fingerprints;
    shaded.candidates = {"1.2.0", "1.2.1"};
    CFind hostile("/lib/<b>odd</b> & \"quoted\".jar", CMatch::Direct, 1);
    hostile.version = "<script>alert(1)</script>";
    hostile.basis = CVersionBasis::Metadata;
    // Bytes a Linux file name may hold but XML may not: the index stays readable.
    CFind bytes("/lib/latin\xE9-\x01-\xC0\xAF-\xED\xA0\x80-\xF0\x9F\x98\x80.jar", CMatch::Direct, 1);
    for (CFind* find : {&plain, &pinned, &shaded, &hostile, &bytes})
        m_results.AddFind("7", *find);

    CXmlDocument index;
    auto places = Write(index).SelectNodes("component[@SCID=\"7\"]/foundIn");
    ASSERT_TRUE(places);
    Strings written;
    for (const CXmlNode& place : *places)
        written.push_back(Attributes(place));
    EXPECT_EQ(written, (Strings{
                           "path=/lib/plain.jar match=direct classes=4",
                           "path=/lib/pinned.jar match=direct classes=4 basis=fingerprints version=1.2.0 "
                           "claimedVersion=9.9 claimedBy=pom.properties",
                           "path=/lib/uber.jar match=relocated classes=3 relocatedPrefix=shaded. basis=fingerprints "
                           "candidates=1.2.0 1.2.1",
                           "path=/lib/<b>odd</b> & \"quoted\".jar match=direct classes=1 basis=metadata "
                           "version=<script>alert(1)</script>",
                           "path=/lib/latin\uFFFD-\uFFFD-\uFFFD\uFFFD-\uFFFD\uFFFD\uFFFD-\U0001F600.jar match=direct "
                           "classes=1",
                       }));
}

TEST_F(IndexWriterTest, ArchivesNoComponentWasFoundInHaveEntriesOfTheirOwn)
{
    m_results.AddFind("7", CFind("/lib/parser.jar", CMatch::Direct, 4));
    CUnidentified byPom = Unit("/m2/guice-multibindings-4.2.3.jar", "metadata", "guice-multibindings", "4.2.3");
    byPom.group = "com.google.inject.extensions";
    byPom.sha1 = "ab12";
    byPom.sha256 = "cd34";
    CUnidentified sameCopy = byPom;
    sameCopy.path = "/app/lib/guice-multibindings.jar";
    CUnidentified nested = Unit("/app/shop.war!/WEB-INF/lib/tiny.jar", "manifest", "", "2.0");
    nested.name = "Tiny Utilities";
    nested.nested = true;
    for (const CUnidentified& unit :
         {byPom, sameCopy, nested, Unit("/m2/olden-0.9.jar", "filename", "olden", "0.9"),
          Unit("/a/lib.jar", "unidentified"), Unit("/b/lib.jar", "unidentified"),
          Unit("/m2/<i>x</i>.jar", "filename", "<i>x</i>", "<script>")})
        m_results.AddUnidentified(unit);

    CXmlDocument index;
    CXmlNode root = Write(index);
    auto components = root.SelectNodes("component[categories/category/primaryCategory='Unidentified archives']");
    ASSERT_TRUE(components);
    Strings written;
    Strings ids;
    for (const CXmlNode& component : *components) {
        ids.push_back(component.GetAttribute("SCID").value_or(""));
        std::string line = Child(component, "componentName") + " | " + Child(component, "version") + " | " +
                           Child(component, "artifact") + " | " +
                           Child(component, "categories/category/secondaryCategory");
        auto places = component.SelectNodes("foundIn");
        for (const CXmlNode& place : *places)
            line += " | " + Attributes(place);
        written.push_back(line);
    }
    EXPECT_EQ(written,
              (Strings{
                  "guice-multibindings 4.2.3 | 4.2.3 | com.google.inject.extensions:guice-multibindings | "
                  "Named by pom.properties"
                  " | path=/m2/guice-multibindings-4.2.3.jar match=direct classes=3 basis=metadata version=4.2.3 "
                  "sha1=ab12 sha256=cd34"
                  " | path=/app/lib/guice-multibindings.jar match=direct classes=3 basis=metadata version=4.2.3 "
                  "sha1=ab12 sha256=cd34",
                  "Tiny Utilities 2.0 | 2.0 | - | Named by MANIFEST.MF"
                  " | path=/app/shop.war!/WEB-INF/lib/tiny.jar match=nested classes=3 basis=manifest version=2.0",
                  "olden 0.9 | 0.9 | olden | Named by file name"
                  " | path=/m2/olden-0.9.jar match=direct classes=3 basis=filename version=0.9",
                  // Two different archives of one name: the tree shows each.
                  "lib.jar | - | - | Unknown | path=/a/lib.jar match=direct classes=3",
                  "lib.jar (/b/lib.jar) | - | - | Unknown | path=/b/lib.jar match=direct classes=3",
                  "<i>x</i> <script> | <script> | <i>x</i> | Named by file name"
                  " | path=/m2/<i>x</i>.jar match=direct classes=3 basis=filename version=<script>",
              }));
    // Ids no catalogue SCID can be, each its own, the same in the next scan.
    for (const std::string& id : ids)
        EXPECT_TRUE(id.starts_with("local:") && id.size() == 22) << id;
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size());
    CXmlDocument again;
    auto rewritten = Write(again).SelectNodes("component[starts-with(@SCID, 'local:')]");
    ASSERT_TRUE(rewritten && rewritten->GetLength() == ids.size());
    for (size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(rewritten->GetItem(i).GetAttribute("SCID"), ids[i]);
    // The catalogue's components come first, as before.
    EXPECT_EQ(root.GetFirstChild().GetAttribute("SCID"), "7");
}
