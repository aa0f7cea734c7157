#include "ClassFile.h"

#include <gtest/gtest.h>

#include "support/TestArchives.h"

TEST(CClassFile, ReadsTheDeclaredClassOrNothing)
{
    const std::string plain = ClassFileBytes("com/acme/util/Parser$Node");
    EXPECT_EQ(CClassFile::ReadDeclaredName(plain), "com/acme/util/Parser$Node");
    EXPECT_EQ(CClassFile::ReadDeclaredName(ClassFileBytes("com/acme/Wide", true)), "com/acme/Wide");
    EXPECT_EQ(CClassFile::ReadDeclaredName(ClassFileBytes("Top")), "Top");

    // Cut short anywhere before this_class, or not a class file at all.
    for (size_t length : {size_t(0), size_t(4), size_t(9), size_t(20), plain.size() - 12})
        EXPECT_EQ(CClassFile::ReadDeclaredName(plain.substr(0, length)), std::nullopt) << length;
    std::string wrongMagic = plain;
    wrongMagic[0] = 'X';
    EXPECT_EQ(CClassFile::ReadDeclaredName(wrongMagic), std::nullopt);
    std::string unknownTag = plain;
    unknownTag[10] = 42;  // the first pool entry's tag
    EXPECT_EQ(CClassFile::ReadDeclaredName(unknownTag), std::nullopt);
    std::string thisNotAClass = plain;
    thisNotAClass[plain.size() - 11] = 1;  // this_class names the Utf8 entry, not the Class
    EXPECT_EQ(CClassFile::ReadDeclaredName(thisNotAClass), std::nullopt);

    EXPECT_EQ(CClassFile::LookupName("com/acme/util/Parser$Node"), "com.acme.util.Parser");
    EXPECT_EQ(CClassFile::LookupName("Top"), "Top");
}
