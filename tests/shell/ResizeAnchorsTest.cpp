#include "ResizeAnchors.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace
{
class ResizeAnchorsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_fixed = Child(QRect(2, 2, 100, 20), 0);
        m_button = Child(QRect(400, 2, 20, 20), CResizeAnchors::kFollowRight);
        m_tree = Child(QRect(2, 30, 120, 260), CResizeAnchors::kStretchBottom);
        m_browser = Child(QRect(126, 30, 370, 260), CResizeAnchors::kStretchRight | CResizeAnchors::kStretchBottom);
        m_footer = Child(QRect(2, 292, 50, 6), CResizeAnchors::kFollowBottom | CResizeAnchors::kFollowRight);
        m_both = Child(QRect(10, 10, 10, 10), 0xF);
    }

    QWidget* Child(const QRect& rect, unsigned flags)
    {
        auto* child = new QWidget(&m_page);
        child->setGeometry(rect);
        m_anchors.Add(child, flags);
        return child;
    }

    QWidget m_page;
    CResizeAnchors m_anchors;
    QWidget* m_fixed = nullptr;
    QWidget* m_button = nullptr;
    QWidget* m_tree = nullptr;
    QWidget* m_browser = nullptr;
    QWidget* m_footer = nullptr;
    QWidget* m_both = nullptr;
};
}  // namespace

TEST_F(ResizeAnchorsTest, FirstSizeOnlyRecordsThenGrowthMovesAndStretches)
{
    m_anchors.Resize(500, 300);
    EXPECT_EQ(m_button->geometry(), QRect(400, 2, 20, 20));
    EXPECT_EQ(m_browser->geometry(), QRect(126, 30, 370, 260));

    m_anchors.Resize(640, 350);
    EXPECT_EQ(m_fixed->geometry(), QRect(2, 2, 100, 20));
    EXPECT_EQ(m_button->geometry(), QRect(540, 2, 20, 20)) << "follows the right edge by dx";
    EXPECT_EQ(m_tree->geometry(), QRect(2, 30, 120, 310)) << "tree grows by dy only";
    EXPECT_EQ(m_browser->geometry(), QRect(126, 30, 510, 310)) << "browser grows by dx and dy";
    EXPECT_EQ(m_footer->geometry(), QRect(142, 342, 50, 6));
    EXPECT_EQ(m_both->geometry(), QRect(10, 10, 150, 60)) << "stretching wins over following";

    // The same size again moves nothing.
    m_anchors.Resize(640, 350);
    EXPECT_EQ(m_button->geometry(), QRect(540, 2, 20, 20));
}

TEST_F(ResizeAnchorsTest, AZeroSizeIsNotRecorded)
{
    m_anchors.Resize(0, 0);
    m_anchors.Resize(500, 300);
    EXPECT_EQ(m_button->geometry(), QRect(400, 2, 20, 20));
}

TEST_F(ResizeAnchorsTest, ShrinkingPastTheChildrenAndGrowingBackRestoresThem)
{
    m_anchors.Resize(500, 300);
    m_anchors.Resize(100, 40);
    EXPECT_EQ(m_browser->width(), 0);
    EXPECT_EQ(m_tree->height(), 0);
    m_anchors.Resize(500, 300);
    EXPECT_EQ(m_browser->geometry(), QRect(126, 30, 370, 260));
    EXPECT_EQ(m_tree->geometry(), QRect(2, 30, 120, 260));
    EXPECT_EQ(m_button->geometry(), QRect(400, 2, 20, 20));
}

TEST_F(ResizeAnchorsTest, AChildMovedByOthersStartsFromWhereItIs)
{
    m_anchors.Resize(500, 300);
    m_anchors.Resize(520, 300);
    // The splitter moved the panes.
    m_tree->setGeometry(2, 30, 200, 260);
    m_browser->setGeometry(206, 30, 310, 260);
    m_anchors.Resize(560, 320);
    EXPECT_EQ(m_tree->geometry(), QRect(2, 30, 200, 280));
    EXPECT_EQ(m_browser->geometry(), QRect(206, 30, 350, 280));
}
