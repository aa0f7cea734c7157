#include "SplitterBar.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "ShellTestSupport.h"

namespace
{
class SplitterBarTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_page.resize(600, 300);
        m_tree = new QWidget(&m_page);
        m_browser = new QWidget(&m_page);
        m_tree->setGeometry(3, 30, 180, 260);
        m_browser->setGeometry(186, 30, 410, 260);
        m_bar = new CSplitterBar(&m_page, false);
        m_page.show();
        m_bar->Place(m_tree, m_browser);
    }

    // Drags the bar's middle to x in the page.
    void DragTo(int x, bool release = true)
    {
        const QPoint grab(m_bar->width() / 2, m_bar->height() / 2);
        QTest::mousePress(m_bar, Qt::LeftButton, {}, grab);
        QTest::mouseMove(m_bar, m_bar->mapFromParent(QPoint(x, m_bar->y() + grab.y())));
        if (release)
            QTest::mouseRelease(m_bar, Qt::LeftButton, {}, m_bar->mapFromParent(QPoint(x, m_bar->y() + grab.y())));
    }

    static int Right(const QWidget* widget) { return widget->x() + widget->width(); }

    QWidget m_page;
    QWidget* m_tree = nullptr;
    QWidget* m_browser = nullptr;
    CSplitterBar* m_bar = nullptr;
};
}  // namespace

TEST_F(SplitterBarTest, PlaceCentresTheBarOnTheTreesEdgeAndFitsThePanes)
{
    const int half = CSplitterBar::kFrameThickness / 2;
    EXPECT_EQ(m_bar->geometry(), QRect(183 - half, 30, 2 * half, 260));
    EXPECT_EQ(Right(m_tree), m_bar->x() + CSplitterBar::kBorder);
    EXPECT_EQ(m_browser->x(), Right(m_bar) - CSplitterBar::kBorder);
    EXPECT_EQ(Right(m_browser), 596) << "the browser keeps its far edge";
    EXPECT_EQ(m_tree->x(), 3);
    EXPECT_EQ(m_bar->GetLowLimit(), 3);
    EXPECT_EQ(m_bar->GetHighLimit(), 596);
}

TEST_F(SplitterBarTest, FeedbackFollowsTheDragAndThePanesFollowOnRelease)
{
    const int treeRight = Right(m_tree);
    DragTo(300, false);
    EXPECT_TRUE(m_bar->IsDragging());
    EXPECT_TRUE(m_bar->GetFeedback()->isVisible());
    EXPECT_EQ(m_bar->GetFeedback()->x() + m_bar->width() / 2, 300);
    EXPECT_EQ(Right(m_tree), treeRight) << "panes stay until the release";

    QTest::mouseRelease(m_bar, Qt::LeftButton, {}, m_bar->mapFromParent(QPoint(300, m_bar->y() + 5)));
    EXPECT_FALSE(m_bar->IsDragging());
    EXPECT_FALSE(m_bar->GetFeedback()->isVisible());
    EXPECT_EQ(m_bar->x() + m_bar->width() / 2, 300);
    EXPECT_EQ(Right(m_tree), m_bar->x() + CSplitterBar::kBorder);
    EXPECT_EQ(m_browser->x(), Right(m_bar) - CSplitterBar::kBorder);
    EXPECT_EQ(Right(m_browser), 596);
}

TEST_F(SplitterBarTest, DraggingPastEitherOuterEdgeStopsAtThatEdge)
{
    DragTo(900);
    EXPECT_EQ(Right(m_bar), 596) << "stops at the browser's right edge";
    EXPECT_GE(m_browser->width(), 0);
    EXPECT_EQ(Right(m_browser), 596);

    DragTo(-200);
    EXPECT_EQ(m_bar->x(), 3) << "stops at the tree's left edge";
    EXPECT_EQ(m_tree->x(), 3);
    EXPECT_GE(m_tree->width(), 0);
}

TEST_F(SplitterBarTest, LimitsFollowPanesThatTheyPageResized)
{
    // The page grew and its anchors stretched the browser.
    m_browser->resize(m_browser->width() + 200, m_browser->height());
    m_page.resize(800, 300);
    DragTo(760);
    EXPECT_EQ(m_bar->x() + m_bar->width() / 2, 760) << "the old right edge no longer limits the drag";
}
