#include "Transformer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "CleanText.h"
#include "StyleSheetCache.h"
#include "XmlCache.h"
#include "XqlService.h"
#include "support/TestSupport.h"

TEST(TransformerTest, ParameterTextIsCleanedToXmlCharacters)
{
    struct Case
    {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"tab\tand\nline", "tab\tand\nline"},
        {std::string("nul\0here", 8), "nulhere"},
        {"bell\x07", "bell"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {"\xFF", "\xEF\xBF\xBD"},
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // overlong "/"
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
        {"\xEF\xBF\xBE", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // U+FFFE
        {"cut\xC3", "cut\xEF\xBF\xBD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CleanText(c.in), c.out) << c.in;
}

TEST(TransformerTest, OnlyXmlNamesBecomeParameters)
{
    for (const char* name : {"qtarget", "packagename", "_x", "a-b.c", "x1"})
        EXPECT_TRUE(CTransformer::IsParameterName(name)) << name;
    for (const char* name : {"", "1x", "a b", "a:b", "<x>", "$q", "a/b"})
        EXPECT_FALSE(CTransformer::IsParameterName(name)) << name;
    EXPECT_FALSE(CTransformer::IsParameterName(std::string(65, 'a')));
}

TEST(TransformerTest, SheetReferencesNameAStoresStyleSheet)
{
    struct Case
    {
        const char* reference;
        const char* location;
    };
    const Case cases[] = {
        {"vantrel:/java/xsl/search-class.xsl", "stores/vantrel/java/xsl/search-class.xsl"},
        {"vantrel:java/xsl/1.1/win/java-package-references.xsl", "stores/vantrel/java/xsl/1.1/win/java-package-references.xsl"},
        {"components:/vendors/xsl/categorybyscid.xsl", "stores/components/vendors/xsl/categorybyscid.xsl"},
        {"vantrel:/java/data/core/index.bnd", nullptr},
        {"http://host/x.xsl", nullptr},
        {"/etc/x.xsl", nullptr},
        {"../x:/a.xsl", nullptr},
        {"vantrel:", nullptr},
    };
    for (const auto& c : cases) {
        auto location = CXqlService::SheetLocation(c.reference);
        if (c.location) {
            ASSERT_TRUE(location) << c.reference;
            EXPECT_EQ(*location, c.location);
        } else {
            EXPECT_FALSE(location) << c.reference;
        }
    }
}

TEST(TransformerTest, CachesParseOnceAndAgainWhenTheFileChanges)
{
    CTempDir dir;
    CTransformer::AllowReadsBelow(dir.Path());
    WriteFileText(dir.File("data.xml"), "<r><v>one</v></r>");
    WriteFileText(dir.File("s.xsl"), "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                                     "<xsl:output method='text'/><xsl:param name='p'/>"
                                     "<xsl:template match='/'><xsl:value-of select='concat(r/v, $p)'/></xsl:template>"
                                     "</xsl:stylesheet>");
    CXmlCache documents(1024 * 1024);
    CStyleSheetCache sheets;
    std::string error;
    auto first = documents.Get(dir.File("data.xml"), error);
    ASSERT_TRUE(first) << error;
    EXPECT_EQ(documents.Get(dir.File("data.xml"), error), first);  // kept, not parsed again
    auto sheet = sheets.Get(dir.File("s.xsl"), error);
    ASSERT_TRUE(sheet) << error;
    CTransformResult result = CTransformer::Apply(*sheet, first->Doc(), {{"p", "'\"&<"}});
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.body, "one'\"&<");
    EXPECT_EQ(result.mediaType, "text/plain; charset=UTF-8");

    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    WriteFileText(dir.File("data.xml"), "<r><v>two</v></r>");
    auto second = documents.Get(dir.File("data.xml"), error);
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_EQ(CTransformer::Apply(*sheet, second->Doc(), {}).body, "two");

    WriteFileText(dir.File("data.xml"), "<r><v>broken</r>");
    EXPECT_FALSE(documents.Get(dir.File("data.xml"), error));
    EXPECT_NE(error.find("line 1"), std::string::npos) << error;
    CTransformer::ForgetReadsBelow(dir.Path());
}

TEST(TransformerTest, CacheKeepsWithinItsBudget)
{
    CTempDir dir;
    CTransformer::AllowReadsBelow(dir.Path());
    CXmlCache documents(300);
    std::string error;
    for (int i = 0; i < 10; ++i) {
        WriteFileText(dir.File(std::to_string(i) + ".xml"), "<r>" + std::string(100, 'x') + "</r>");
        ASSERT_TRUE(documents.Get(dir.File(std::to_string(i) + ".xml"), error)) << error;
    }
    EXPECT_LE(documents.CachedCount(), 2u);
    CTransformer::ForgetReadsBelow(dir.Path());
}
