#include "FlatButton.h"

#include <set>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "PageArtwork.h"
#include "ShellTestSupport.h"

namespace
{
class FlatButtonTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_window.resize(200, 60);
        // The keyboard focus rests elsewhere, as on a page.
        auto* edit = new QLineEdit(&m_window);
        edit->setGeometry(100, 10, 90, 20);
        m_first = new CFlatButton(true, false, true, CFlatButton::kIconCentred, &m_window);
        m_second = new CFlatButton(true, false, true, CFlatButton::kIconCentred, &m_window);
        m_first->setGeometry(10, 10, 24, 24);
        m_second->setGeometry(36, 10, 24, 24);
        m_first->setIcon(CPageArtwork::LoadIcon(CPageArtwork::kIconBack));
        m_second->setIcon(CPageArtwork::LoadIcon(CPageArtwork::kIconForward));
        m_window.show();
        QApplication::setActiveWindow(&m_window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
        QTest::mouseMove(&m_window, QPoint(150, 50));
        Pump(std::chrono::milliseconds(20));
    }

    static QRgb Pixel(QWidget* widget, int x, int y) { return widget->grab().toImage().pixel(x, y); }
    QRgb Color(QPalette::ColorRole role) const { return m_window.palette().color(role).rgb(); }

    QWidget m_window;
    CFlatButton* m_first = nullptr;
    CFlatButton* m_second = nullptr;
};
}  // namespace

TEST_F(FlatButtonTest, BorderShowsOnlyWhileHoveredAndSinksWhilePressed)
{
    EXPECT_EQ(Pixel(m_first, 0, 0), Color(QPalette::Button)) << "a flat button at rest has no border";
    QTest::mouseMove(m_first, QPoint(12, 12));
    ASSERT_TRUE(WaitFor([this] { return m_first->IsHovering(); }, std::chrono::seconds(2)));
    EXPECT_EQ(Pixel(m_first, 0, 0), Color(QPalette::Light)) << "raised: light top-left";
    EXPECT_EQ(Pixel(m_first, 23, 23), Color(QPalette::Mid)) << "raised: shadow bottom-right";

    QTest::mousePress(m_first, Qt::LeftButton, {}, QPoint(12, 12));
    EXPECT_EQ(Pixel(m_first, 0, 0), Color(QPalette::Mid)) << "sunken: shadow top-left";
    EXPECT_EQ(Pixel(m_first, 23, 23), Color(QPalette::Light)) << "sunken: light bottom-right";
    QTest::mouseRelease(m_first, Qt::LeftButton, {}, QPoint(12, 12));

    // The keyboard focus alone does not raise it.
    QTest::mouseMove(&m_window, QPoint(150, 50));
    ASSERT_TRUE(WaitFor([this] { return !m_first->IsHovering(); }, std::chrono::seconds(2)));
    m_first->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(WaitFor([this] { return m_first->hasFocus(); }, std::chrono::seconds(2)));
    EXPECT_EQ(Pixel(m_first, 0, 0), Color(QPalette::Button)) << "focused, not hovered: no border";
}

TEST_F(FlatButtonTest, MovingOntoTheNextButtonMovesTheBorder)
{
    QTest::mouseMove(m_first, QPoint(12, 12));
    ASSERT_TRUE(WaitFor([this] { return m_first->IsHovering(); }, std::chrono::seconds(2)));
    QTest::mouseMove(m_second, QPoint(12, 12));
    ASSERT_TRUE(WaitFor([this] { return m_second->IsHovering(); }, std::chrono::seconds(2)));
    EXPECT_FALSE(m_first->IsHovering());
    EXPECT_EQ(Pixel(m_first, 0, 0), Color(QPalette::Button));
    EXPECT_EQ(Pixel(m_second, 0, 0), Color(QPalette::Light));

    // A click that opens a window over the button leaves no hover look behind.
    m_second->ClearHover();
    EXPECT_EQ(Pixel(m_second, 0, 0), Color(QPalette::Button));
}

TEST_F(FlatButtonTest, DisabledButtonIsEmbossedAndNeverHovers)
{
    const QImage enabled = m_first->grab().toImage();
    m_first->setEnabled(false);
    QTest::mouseMove(m_first, QPoint(12, 12));
    Pump(std::chrono::milliseconds(50));
    EXPECT_FALSE(m_first->IsHovering());
    const QImage disabled = m_first->grab().toImage();
    EXPECT_EQ(disabled.pixel(0, 0), Color(QPalette::Button));

    // Embossed: only the face and the two shades of the relief remain, while the
    // enabled icon has colours of its own.
    std::set<QRgb> colours;
    for (int y = 0; y < disabled.height(); ++y) {
        for (int x = 0; x < disabled.width(); ++x)
            colours.insert(disabled.pixel(x, y) | 0xFF000000u);
    }
    bool onlyRelief = true;
    for (QRgb colour : colours) {
        const int grey = qGray(colour);
        if (qAbs(qRed(colour) - grey) > 12 || qAbs(qBlue(colour) - grey) > 12)
            onlyRelief = false;
    }
    EXPECT_TRUE(onlyRelief) << "a disabled icon keeps its colours";
    bool colourful = false;
    for (int y = 0; y < enabled.height() && !colourful; ++y) {
        for (int x = 0; x < enabled.width() && !colourful; ++x) {
            const QRgb colour = enabled.pixel(x, y);
            colourful = qAbs(qBlue(colour) - qRed(colour)) > 60;
        }
    }
    EXPECT_TRUE(colourful) << "the enabled icon should be the blue arrow";
    EXPECT_NE(enabled, disabled);
}
