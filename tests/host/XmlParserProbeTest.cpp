#include "XmlParserProbe.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

TEST(ProbeXmlParser, NeedsALibraryThatParsesAndSelects)
{
    EXPECT_TRUE(ProbeXmlParser(kXmlParserLibrary));
    EXPECT_TRUE(ProbeXmlParser(kXmlParserLibrary));  // a second probe finds it as usable

    CTempDir dir;
    WriteFileText(dir.File("libxml2.so.2"), "not a library");
    EXPECT_FALSE(ProbeXmlParser(dir.File("libxml2.so.2")));
    EXPECT_FALSE(ProbeXmlParser(dir.File("absent.so")));
    EXPECT_FALSE(ProbeXmlParser("libc.so.6"));        // loads, but is no parser
    EXPECT_FALSE(ProbeXmlParser(FAKE_XML_LIBRARY));  // the parser's name, none of its functions
}
