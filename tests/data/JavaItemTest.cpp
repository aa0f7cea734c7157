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
