#include "BusyCursor.h"

#include <QApplication>
#include <QCursor>

#include <gtest/gtest.h>

namespace
{
Qt::CursorShape Shown()
{
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::BlankCursor;
}
}  // namespace

TEST(BusyCursor, NestedBusyRestoresTheEarlierCursorOnlyAfterTheOutermostEnd)
{
    QApplication::setOverrideCursor(QCursor(Qt::PointingHandCursor));
    {
        CBusyCursor busy;
        busy.Begin();
        EXPECT_EQ(Shown(), Qt::WaitCursor);
        busy.Begin();
        busy.Begin();
        busy.End();
        busy.End();
        EXPECT_EQ(Shown(), Qt::WaitCursor);
        EXPECT_EQ(busy.GetDepth(), 1);
        busy.End();
        EXPECT_EQ(Shown(), Qt::PointingHandCursor);

        // An end without its begin leaves the cursor alone.
        busy.End();
        EXPECT_EQ(busy.GetDepth(), 0);
        EXPECT_EQ(Shown(), Qt::PointingHandCursor);
    }
    QApplication::restoreOverrideCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(BusyCursor, GoingAwayWhileBusyPutsTheCursorBack)
{
    {
        CBusyCursor busy;
        busy.Begin();
        busy.Begin();
        EXPECT_EQ(Shown(), Qt::WaitCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
