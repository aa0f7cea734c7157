#include "XmlAccess.h"

#include <gtest/gtest.h>

#include "ItemDataManager.h"
#include "support/TestSupport.h"

namespace
{
CXmlNode Root(CXmlDocument& doc, const std::string& xml)
{
    EXPECT_TRUE(doc.LoadXml(xml)) << xml;
    return doc.GetDocumentElement();
}
}  // namespace

TEST(XmlAccess, ChildElementValueTakesTheFirstMatch)
{
    CXmlDocument doc;
    CXmlNode node = Root(doc, "<n><a>1</a><b>2</b><a>3</a></n>");
    EXPECT_EQ(XmlChildElementValue(node, "a", "CItemDataManager"), "1");
    EXPECT_EQ(XmlChildElementValue(node, "b", "CItemDataManager"), "2");
    EXPECT_EQ(XmlChildElementValue(node, "c", "CItemDataManager"), "");
    EXPECT_EQ(XmlChildElementValue(CXmlNode(), "a", "CItemDataManager"), "");

    const std::pair<const char*, const char*> cases[] = {
        {"<class><className>String</className></class>", "String"},
        {"<class><ClassName>String</ClassName></class>", ""},      // names are case-sensitive
        {"<class><className/></class>", ""},                       // empty element
        {"<class><className><i>x</i>y</className></class>", ""},   // first child is an element
        {"<class><className><![CDATA[a<b]]></className></class>", "a<b"},
        {"<class><x><className>deep</className></x></class>", ""}, // only direct children
        {"<class><!--c--><className>after</className></class>", "after"},
    };
    for (const auto& [xml, expected] : cases) {
        CXmlDocument d;
        EXPECT_EQ(XmlChildElementValue(Root(d, xml), "className", "CItemDataManager"), expected) << xml;
    }
}

TEST(XmlAccess, AttributeValueIsEmptyWhenAbsent)
{
    CXmlDocument doc;
    CXmlNode node = Root(doc, "<technology name=\"jdk\" display=\"\" docroot=\"http://d/?a=1&amp;b=2\">text</technology>");
    EXPECT_EQ(XmlElementAttributeValue(node, "name", "CItemDataManager"), "jdk");
    EXPECT_EQ(XmlElementAttributeValue(node, "display", "CItemDataManager"), "");
    EXPECT_EQ(XmlElementAttributeValue(node, "docroot", "CItemDataManager"), "http://d/?a=1&b=2");
    EXPECT_EQ(XmlElementAttributeValue(node, "Name", "CItemDataManager"), "");
    EXPECT_EQ(XmlElementAttributeValue(node, "missing", "CItemDataManager"), "");
    EXPECT_EQ(XmlElementAttributeValue(node.GetFirstChild(), "name", "CItemDataManager"), "");  // a text node
}

TEST(XmlAccess, OpenXmlDocumentCreatesOnceAndRecovers)
{
    CTempDir dir;
    WriteFileText(dir.File("bad.xml"), "<a>");
    WriteFileText(dir.File("good.xml"), "<a><b/></a>");
    std::unique_ptr<CXmlDocument> doc;
    EXPECT_FALSE(OpenXmlDocument(doc, dir.File("bad.xml"), "Test::Open()"));
    ASSERT_TRUE(doc);  // created, empty, kept for the next load
    CXmlDocument* first = doc.get();
    EXPECT_FALSE(doc->GetDocumentElement());
    EXPECT_TRUE(OpenXmlDocument(doc, dir.File("good.xml"), "Test::Open()"));
    EXPECT_EQ(doc.get(), first);
    EXPECT_EQ(doc->GetElementsByTagName("b").GetLength(), 1u);
}

TEST(XmlAccess, NoSearchResultsMessage)
{
    CScriptedPrompt prompt;
    ShowNoSearchResults(prompt);
    ASSERT_EQ(prompt.Shown().size(), 1u);
    EXPECT_EQ(prompt.Shown()[0].text, "There were no search results found.");
    EXPECT_EQ(prompt.Shown()[0].caption, "Corvane Component Manager");
    EXPECT_EQ(prompt.Shown()[0].type, MB_OK);
}

TEST(CItemDataManager, BaseAnswersForACollectionWithoutData)
{
    CItemDataManager manager;
    EXPECT_TRUE(manager.UpdateIndex());
    for (int kind : {0, 1, 2, 3, 4, 5, 9, -1}) {
        CTreeItem item(kind, "x");
        std::string url = "unchanged";
        EXPECT_TRUE(manager.GetItemURL(item, url));
        EXPECT_EQ(url, "about:blank");
        CItemList list;
        list.Append(std::make_unique<CTreeItem>(ITEM_LEAF, "kept"));
        EXPECT_TRUE(manager.ListChildItems(item, list));
        EXPECT_EQ(list.GetCount(), 1u);
    }
}
