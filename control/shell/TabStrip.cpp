#include "TabStrip.h"

#include <algorithm>

#include <QStyleOptionTab>
#include <QStylePainter>

namespace
{
// The label sits this far into its tab.
constexpr int kLabelDx = 1;
constexpr int kLabelDy = 4;
}  // namespace

CTabStrip::CTabStrip(QWidget* parent)
    : QTabBar(parent)
{
    setExpanding(false);
    setDrawBase(false);
    setUsesScrollButtons(true);
    setElideMode(Qt::ElideNone);
    m_boldFont = font();
    m_boldFont.setWeight(QFont::Bold);
}

void CTabStrip::SetLabelFonts(const QFont& font, const QFont& boldFont)
{
    setFont(font);
    m_boldFont = boldFont;
    // The tabs are measured with the bold font; the strip must measure them again.
    updateGeometry();
    update();
}

QFont CTabStrip::LabelFont(int index) const
{
    return index == currentIndex() ? m_boldFont : font();
}

// Wide enough for the bold label, which any tab may get, and tall enough for its offset.
QSize CTabStrip::tabSizeHint(int index) const
{
    QSize size = QTabBar::tabSizeHint(index);
    const QFontMetrics bold(m_boldFont);
    const int labelWidth = bold.horizontalAdvance(tabText(index)) + 2 * bold.averageCharWidth() + kLabelDx;
    size.setWidth(std::max(size.width(), labelWidth));
    size.setHeight(std::max(size.height(), bold.height() + kLabelDy + 4));
    return size;
}

QSize CTabStrip::minimumTabSizeHint(int index) const
{
    return tabSizeHint(index);
}

void CTabStrip::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    for (int i = 0; i < count(); ++i) {
        QStyleOptionTab option;
        initStyleOption(&option, i);
        const QString text = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_TabBarTabShape, option);

        const QRect label = option.rect.translated(kLabelDx, kLabelDy);
        if (i == currentIndex())
            painter.fillRect(label.intersected(option.rect.adjusted(2, 2, -2, -1)), palette().button());
        painter.setFont(LabelFont(i));
        painter.setPen(palette().color(isTabEnabled(i) ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, text);
    }
}
