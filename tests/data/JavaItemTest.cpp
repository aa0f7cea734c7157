#include "JavaItem.h"

#include <gtest/gtest.h>

TEST(JavaItem, OnlyTechnologiesAndPackagesHaveChildren)
{
    for (std::int32_t kind : {-1, 0, 1, 2, 3, 4, 5, 6}) {
        CJavaItem item(kind, "x", "jdk", "", "", "", "");
        EXPECT_EQ(item.HasChildren(), kind == 3 || kind == 4) << kind;
    }
    EXPECT_TRUE(CTreeItem(ITEM_HOME, "Home").HasChildren());
}

TEST(JavaItem, DerivedFields)
{
    CJavaItem method(ITEM_LEAF, "java.lang.String (JDK)", "jdk", "D/", "java.lang", "String", "substring(int, int)");
    EXPECT_EQ(method.GetName(), "java.lang.String (JDK)");
    EXPECT_EQ(method.GetTechnology(), "jdk");
    EXPECT_EQ(method.GetDocRoot(), "D/");
    EXPECT_EQ(method.GetPackagePath(), "java/lang");
    EXPECT_EQ(method.GetMemberAnchor(), "substring(int,+int)");
    EXPECT_EQ(method.GetMember(), "substring(int, int)");
    EXPECT_EQ(method.GetFullyQualifiedName(), "java.lang.String");

    CJavaItem technology(ITEM_GROUP, "JDK", "jdk", "D/", "", "", "");
    EXPECT_EQ(technology.GetPackagePath(), "");
    EXPECT_EQ(technology.GetMemberAnchor(), "");
    CJavaItem inner(ITEM_LEAF, "Map.Entry", "jdk", "", "java.util", "Map.Entry", "");
    EXPECT_EQ(inner.GetFullyQualifiedName(), "java.util.Map.Entry");
}
