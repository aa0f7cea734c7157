#include "XmlDocument.h"

#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>

#include "support/ProxyProcess.h"
#include "support/RecordingHttpServer.h"
#include "support/TestSupport.h"

namespace
{
std::vector<std::string> Names(const CXmlNodeList& list, const std::string& attribute)
{
    std::vector<std::string> names;
    for (const CXmlNode& node : list)
        names.push_back(node.GetAttribute(attribute).value_or("?"));
    return names;
}

const char* const kIndex = R"(<?xml version="1.0"?>
<javatab>
  <technology name="jdk" display="JDK" docroot="http://docs/api/">
    <package name="java.lang"/>
    <package name="java.util"/>
  </technology>
  <technology name="o&quot;brien" display="Quote">
    <package name="q.one"/>
  </technology>
  <other><technology name="nested"/></other>
</javatab>)";
}  // namespace

TEST(CXmlDocument, LoadsFilesAndSelects)
{
    CTempDir dir;
    WriteFileText(dir.File("index.xml"), kIndex);
    CXmlDocument doc;
    ASSERT_TRUE(doc.Load(dir.File("index.xml")));
    EXPECT_EQ(doc.GetParseError().errorCode, 0);

    EXPECT_EQ(Names(doc.GetElementsByTagName("technology"), "name"),
              (std::vector<std::string>{"jdk", "o\"brien", "nested"}));
    auto packages = doc.SelectNodes("javatab/technology[@name=\"jdk\"]/package");
    ASSERT_TRUE(packages);
    EXPECT_EQ(Names(*packages, "name"), (std::vector<std::string>{"java.lang", "java.util"}));
    // Data goes in as a variable, so a quote in a name selects like any other name.
    auto quoted = doc.SelectNodes("javatab/technology[@name=$name]/package", {{"name", "o\"brien"}});
    ASSERT_TRUE(quoted);
    EXPECT_EQ(Names(*quoted, "name"), (std::vector<std::string>{"q.one"}));
    EXPECT_FALSE(doc.SelectNodes("javatab/technology[@name="));  // not an expression

    // White space between elements is not a node.
    CXmlNode root = doc.GetDocumentElement();
    EXPECT_EQ(root.GetNodeName(), "javatab");
    EXPECT_EQ(root.GetFirstChild().GetNodeType(), NODE_ELEMENT);
    EXPECT_EQ(root.GetChildNodes().GetLength(), 3u);
    CXmlNodeList walk = root.GetChildNodes();
    int count = 0;
    while (walk.NextNode())
        ++count;
    EXPECT_EQ(count, 3);
}

TEST(CXmlDocument, FailedLoadsLeaveAnEmptyUsableDocument)
{
    CTempDir dir;
    WriteFileText(dir.File("good.xml"), "<a><b>1</b></a>");
    WriteFileText(dir.File("bad.xml"), "<a><b>1</a>");
    WriteFileText(dir.File("empty.xml"), "");
    CXmlDocument doc;
    ASSERT_TRUE(doc.Load(dir.File("good.xml")));
    for (const char* name : {"bad.xml", "empty.xml", "missing.xml"}) {
        EXPECT_FALSE(doc.Load(dir.File(name))) << name;
        EXPECT_NE(doc.GetParseError().errorCode, 0) << name;
        EXPECT_FALSE(doc.GetParseError().reason.empty()) << name;
        EXPECT_FALSE(doc.GetDocumentElement()) << name;
        EXPECT_EQ(doc.GetElementsByTagName("b").GetLength(), 0u);
        EXPECT_EQ(doc.GetXml(), "");
    }
    EXPECT_TRUE(doc.Load(dir.File("good.xml")));
    EXPECT_EQ(doc.GetElementsByTagName("b").GetLength(), 1u);
}

TEST(CXmlDocument, NeverReadsExternalEntitiesOrDtds)
{
    CTempDir dir;
    WriteFileText(dir.File("secret.txt"), "TOPSECRET");
    WriteFileText(dir.File("evil.dtd"), "<!ENTITY remote \"FROMDTD\">");
    std::string xxe = "<?xml version=\"1.0\"?>\n<!DOCTYPE a [\n<!ENTITY xxe SYSTEM \"file://" + dir.File("secret.txt") +
                      "\">\n<!ENTITY % dtd SYSTEM \"file://" + dir.File("evil.dtd") + "\"> %dtd;\n]>\n" +
                      "<a><className>&xxe;</className><b>&remote;</b></a>";
    WriteFileText(dir.File("xxe.xml"), xxe);
    CXmlDocument doc;
    doc.Load(dir.File("xxe.xml"));
    EXPECT_EQ(doc.GetXml().find("TOPSECRET"), std::string::npos);
    EXPECT_EQ(doc.GetXml().find("FROMDTD"), std::string::npos);
    for (const CXmlNode& node : doc.GetElementsByTagName("className")) {
        CXmlNode first = node.GetFirstChild();
        if (first && first.GetNodeValue()) {
            EXPECT_EQ(first.GetNodeValue()->find("TOPSECRET"), std::string::npos);
        }
    }
}

TEST(CXmlDocument, RefusesHostileShapes)
{
    CXmlDocument doc;
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<d>";
    EXPECT_FALSE(doc.LoadXml(deep));

    // A billion laughs: entities that each expand to ten of the previous one.
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY a \"aaaaaaaaaa\">";
    char prev = 'a';
    for (char c = 'b'; c <= 'j'; ++c, ++prev) {
        std::string refs;
        for (int i = 0; i < 10; ++i)
            refs += std::string("&") + prev + ";";
        laughs += std::string("<!ENTITY ") + c + " \"" + refs + "\">";
    }
    laughs += "]><l>&j;</l>";
    doc.LoadXml(laughs);  // whatever the answer, the text is never expanded
    EXPECT_LT(doc.GetXml().size(), 100000u);

    CTempDir dir;
    std::string big(CXmlDocument::kMaxDocumentSize + 1, ' ');
    big.replace(0, 3, "<a>");
    WriteFileText(dir.File("big.xml"), big);
    EXPECT_FALSE(doc.Load(dir.File("big.xml")));
}

// UTF-16 with its byte-order mark; '~' stands for U+3C3C, whose bytes look like "<<".
std::string Utf16(const std::string& ascii)
{
    std::string text = "\xFF\xFE";
    for (char c : ascii)
        text += c == '~' ? std::string("<<") : std::string{c, '\0'};
    return text;
}

// Shapes the parser would spend minutes on are refused within seconds, whatever the
// encoding; documents of real shapes and encodings load.
TEST(CXmlDocument, HostileDocumentsEndWithinSeconds)
{
    auto list = [](int count, const std::string& prefix, const char* tail = "=''") {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += " " + prefix + std::to_string(i) + tail;
        return text;
    };
    std::string flood = "<r" + list(200000, "a") + "/>";
    std::string nested, closing;
    for (int i = 0; i < 250; ++i) {
        nested += "<e" + list(100, "xmlns:p" + std::to_string(i) + "_", "='u'") + ">";
        closing += "</e>";
    }
    std::string uses, plain;
    for (int i = 0; i < 300000; ++i)
        uses += "<p0_0:e/>";
    for (int i = 0; i < 1000; ++i)
        plain += "<e/>";
    // The root's first text as expected; nullptr: refused.
    const std::pair<std::string, const char*> documents[] = {
        {flood, nullptr},
        {Utf16("<r" + list(200000, "a", "='~'") + "/>"), nullptr},
        {"<!DOCTYPE r [<!ATTLIST e" + list(20000, "a", " CDATA 'v'") + ">]><r>" + plain + "</r>",
         nullptr},
        {"<!DOCTYPE r [<!ENTITY x \"&#60;e" + list(200000, "a") + "/>\">]><r>&x;</r>", nullptr},
        {nested + uses + closing, nullptr},
        {"<r" + list(256, "a") + ">x</r>", "x"},
        {Utf16("<?xml version='1.0' encoding='UTF-16'?><r>caf\xE9</r>"), "caf\xC3\xA9"},
        {"<?xml version='1.0' encoding='ISO-8859-1'?><r>caf\xE9</r>", "caf\xC3\xA9"},
        {"<r xml:space='preserve'> </r>", " "},
    };
    CRecordingHttpServer server;
    server.Server().Get(R"(/(\d+))", [&](const httplib::Request& request, httplib::Response& response) {
        response.set_content(documents[std::stoul(request.matches[1])].first, "application/octet-stream");
    });
    server.Start();
    CTestRegistry registry;
    for (size_t i = 0; i < std::size(documents); ++i) {
        auto start = std::chrono::steady_clock::now();
        CXmlDocument doc;
        const char* expected = documents[i].second;
        EXPECT_EQ(doc.Load("http://127.0.0.1:" + std::to_string(server.Port()) + "/" + std::to_string(i)), expected != nullptr)
            << i << ": " << doc.GetParseError().reason;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << i;
        if (expected) {
            EXPECT_EQ(doc.GetDocumentElement().GetFirstChild().GetNodeValue().value_or(""), expected) << i;
        }
    }
}

TEST(CXmlDocument, LoadsFromHttpAndFailsCleanly)
{
    CTestRegistry registry;  // no firewall
    httplib::Server server;
    server.Get("/data/a b.xml", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<r><item>x</item></r>", "text/xml");
    });
    server.Get("/broken.xml", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<r><item>", "text/xml");
    });
    int port = server.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::string base = "http://127.0.0.1:" + std::to_string(port);

    CXmlDocument doc;
    EXPECT_TRUE(doc.Load(base + "/data/a b.xml"));  // the blank goes out encoded
    EXPECT_EQ(doc.GetElementsByTagName("item").GetLength(), 1u);
    EXPECT_FALSE(doc.Load(base + "/missing.xml"));
    EXPECT_NE(doc.GetParseError().reason.find("404"), std::string::npos);
    EXPECT_FALSE(doc.Load(base + "/broken.xml"));
    server.stop();
    thread.join();
    EXPECT_FALSE(doc.Load(base + "/data/a b.xml"));  // nobody listens any more
    EXPECT_FALSE(doc.GetDocumentElement());
}

// Documents come the way every request goes: through the firewall of the settings, or
// not at all.
TEST(CXmlDocument, UrlLoadsGoThroughTheFirewall)
{
    CProxyProcess proxy(CProxyKind::Tinyproxy);
    if (proxy.Missing())
        GTEST_SKIP() << proxy.Error();
    ASSERT_EQ(proxy.Error(), "");
    CRecordingHttpServer server;
    server.Server().Get("/doc.xml", [](const httplib::Request& request, httplib::Response& response) {
        response.set_content("<r via=\"" + request.get_header_value("Via") + "\"/>", "text/xml");
    });
    server.Start();
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/doc.xml";
    const std::string deadPort = std::to_string(CProxyProcess::FreeLoopbackPort());
    const struct
    {
        const char* type;
        const char* host;
        std::string port;
        const char* failure;  // nullptr: loads through the proxy
    } cases[] = {
        {"3", "127.0.0.1", std::to_string(proxy.Port()), nullptr},
        {"3", "127.0.0.1", deadPort, "onnect"},
        {"3", "127.0.0.1", "0", "FirewallPort 0"},
        {"2", "", deadPort, "FirewallHost"},
        {"8", "127.0.0.1", deadPort, "FirewallType 8"},
    };
    CTestRegistry registry;
    for (const auto& c : cases) {
        registry.Set("FirewallType", c.type);
        registry.Set("FirewallHost", c.host);
        registry.Set("FirewallPort", c.port);
        CXmlDocument doc;
        EXPECT_EQ(doc.Load(url), !c.failure) << doc.GetParseError().reason;
        if (c.failure)
            EXPECT_NE(doc.GetParseError().reason.find(c.failure), std::string::npos) << doc.GetParseError().reason;
        else
            EXPECT_NE(doc.GetDocumentElement().GetAttribute("via")->find("tinyproxy"), std::string::npos);
    }
    EXPECT_TRUE(proxy.WaitForLog("GET " + url)) << proxy.Log();
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(CXmlDocument, BuildsSerialisesAndSaves)
{
    CXmlDocument source;
    ASSERT_TRUE(source.LoadXml("<components><component scid=\"7\"><name>Parser &amp; Co</name></component></components>"));

    CXmlDocument doc;
    CXmlNode root = doc.CreateElement("components");
    doc.SetDocumentElement(root);
    root = doc.GetDocumentElement();
    CXmlNode copied = root.AppendChild(source.GetElementsByTagName("component").GetItem(0));
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied.GetAttribute("scid"), "7");
    CXmlNode extra = root.AppendChild(doc.CreateElement("extra"));
    ASSERT_TRUE(extra.SetAttribute("k", "a\"b<c"));
    EXPECT_TRUE(root.RemoveChild(extra));
    EXPECT_FALSE(root.RemoveChild(copied.GetFirstChild()));  // not a direct child

    CTempDir dir;
    ASSERT_TRUE(doc.Save(dir.File("components.xml")));
    CXmlDocument again;
    ASSERT_TRUE(again.Load(dir.File("components.xml")));
    EXPECT_EQ(again.GetElementsByTagName("component").GetLength(), 1u);
    EXPECT_EQ(again.GetElementsByTagName("extra").GetLength(), 0u);
    EXPECT_EQ(again.GetElementsByTagName("name").GetItem(0).GetFirstChild().GetNodeValue(), "Parser & Co");
    // The source document is untouched by the copy.
    EXPECT_EQ(source.GetElementsByTagName("component").GetLength(), 1u);

    CXmlDocument empty;
    EXPECT_FALSE(empty.Save(dir.File("empty.xml")));
}
