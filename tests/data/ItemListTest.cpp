#include "ItemList.h"

#include <gtest/gtest.h>

#include "support/ItemNames.h"

namespace
{
// Counts destructions, to see which records a list frees.
struct CCountedItem : CTreeItem
{
    CCountedItem(std::int32_t kind, std::string name, int* destroyed)
        : CTreeItem(kind, std::move(name)), m_destroyed(destroyed)
    {
    }
    ~CCountedItem() override { ++*m_destroyed; }
    bool HasChildren() const override { return KindHasChildren(GetKind()); }
    int* m_destroyed;
};


CItemList Make(std::initializer_list<const char*> names, int* destroyed)
{
    CItemList list;
    for (const char* name : names)
        list.Append(std::make_unique<CCountedItem>(ITEM_LEAF, name, destroyed));
    return list;
}
}  // namespace

TEST(CItemList, SortIsCaseInsensitiveAndStable)
{
    int destroyed = 0;
    CItemList list = Make({"beta", "Alpha", "alpha", "Gamma"}, &destroyed);
    list.Sort();
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Alpha", "alpha", "beta", "Gamma"}));

    // Letters fold to lower case, so "_" (between upper and lower case) sorts before them.
    CItemList folded = Make({"b", "_x", "A", "Zed", "a1", "a"}, &destroyed);
    folded.Sort();
    EXPECT_EQ(Names(folded), (std::vector<std::string>{"_x", "A", "a", "a1", "b", "Zed"}));
}

TEST(CItemList, UniqueKeepsCaseVariantsAndFreesDuplicates)
{
    int destroyed = 0;
    CItemList list = Make({"beta", "alpha", "Alpha", "alpha", "beta", "alpha"}, &destroyed);
    list.Sort();
    list.Unique();
    // alpha, Alpha, alpha, alpha sorted stably; only adjacent byte-identical ones collapse.
    EXPECT_EQ(Names(list), (std::vector<std::string>{"alpha", "Alpha", "alpha", "beta"}));
    EXPECT_EQ(destroyed, 2);

    CItemList two = Make({"alpha", "alpha"}, &destroyed);
    two.Unique();
    EXPECT_EQ(Names(two), (std::vector<std::string>{"alpha"}));
    EXPECT_EQ(destroyed, 3);
}

TEST(CItemList, TakeAllHandsRecordsOver)
{
    int destroyed = 0;
    std::vector<std::unique_ptr<CTreeItem>> kept;
    {
        CItemList list = Make({"a", "b"}, &destroyed);
        kept = list.TakeAll();
        EXPECT_TRUE(list.IsEmpty());
        list.Append(std::make_unique<CCountedItem>(ITEM_LEAF, "c", &destroyed));
        list.Clear();
        EXPECT_EQ(destroyed, 1);
    }
    EXPECT_EQ(kept.size(), 2u);
    EXPECT_EQ(destroyed, 1);
}

TEST(CTreeItem, HasChildrenByKind)
{
    int destroyed = 0;
    EXPECT_TRUE(CTreeItem(ITEM_HOME, "Home").HasChildren());  // plain records always may
    for (int kind = -1; kind <= 7; ++kind)
        EXPECT_EQ(CCountedItem(kind, "x", &destroyed).HasChildren(), kind == 3 || kind == 4) << kind;
}
