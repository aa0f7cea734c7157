#include "SplitterBar.h"

#include <algorithm>

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace
{
// Two-by-two checkerboard of the palette's dark and light shades: the halftone look.
QBrush HalftoneBrush(const QPalette& palette)
{
    QPixmap tile(2, 2);
    tile.fill(palette.color(QPalette::Light));
    QPainter painter(&tile);
    painter.setPen(palette.color(QPalette::Dark));
    painter.drawPoint(0, 0);
    painter.drawPoint(1, 1);
    return QBrush(tile);
}
}  // namespace

CSplitterBar::CSplitterBar(QWidget* parent, bool horizontal)
    : QWidget(parent)
    , m_horizontal(horizontal)
    , m_feedback(new QWidget(parent))
{
    setCursor(horizontal ? Qt::SplitVCursor : Qt::SplitHCursor);
    setGeometry(QRect());
    raise();
    m_low = 0;
    m_high = horizontal ? parent->height() : parent->width();

    QPalette palette = m_feedback->palette();
    palette.setBrush(QPalette::Window, HalftoneBrush(palette));
    m_feedback->setPalette(palette);
    m_feedback->setAutoFillBackground(true);
    m_feedback->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_feedback->hide();
}

void CSplitterBar::Place(QWidget* first, QWidget* second)
{
    m_first = first;
    m_second = second;
    if (!first || !second)
        return;
    const QRect pane = first->geometry();
    const int half = kFrameThickness / 2;
    if (m_horizontal) {
        const int edge = pane.y() + pane.height();
        setGeometry(pane.x(), edge - half, pane.width(), 2 * half);
    } else {
        const int edge = pane.x() + pane.width();
        setGeometry(edge - half, pane.y(), 2 * half, pane.height());
    }
    raise();
    FitPanes();
}

bool CSplitterBar::MoveTo(int position)
{
    UpdateLimits();
    const int size = m_horizontal ? height() : width();
    const int placed = std::clamp(position, m_low, std::max(m_low, m_high - size));
    if (m_horizontal)
        move(x(), placed);
    else
        move(placed, y());
    FitPanes();
    return placed == position;
}

void CSplitterBar::FitPanes()
{
    if (!m_first || !m_second)
        return;
    QRect first = m_first->geometry();
    QRect second = m_second->geometry();
    const QRect bar = geometry();
    if (m_horizontal) {
        const int secondBottom = second.y() + second.height();
        first.setHeight(std::max(0, bar.y() + kBorder - first.y()));
        const int secondTop = bar.y() + bar.height() - kBorder;
        second.setRect(second.x(), secondTop, second.width(), std::max(0, secondBottom - secondTop));
    } else {
        const int secondRight = second.x() + second.width();
        first.setWidth(std::max(0, bar.x() + kBorder - first.x()));
        const int secondLeft = bar.x() + bar.width() - kBorder;
        second.setRect(secondLeft, second.y(), std::max(0, secondRight - secondLeft), second.height());
    }
    m_first->setGeometry(first);
    m_second->setGeometry(second);
    UpdateLimits();
    raise();
    update();
}

void CSplitterBar::UpdateLimits()
{
    if (!m_first || !m_second)
        return;
    const QRect first = m_first->geometry();
    const QRect second = m_second->geometry();
    m_low = m_horizontal ? first.y() : first.x();
    m_high = m_horizontal ? second.y() + second.height() : second.x() + second.width();
}

int CSplitterBar::ClampedPosition(const QPoint& parentPos) const
{
    const int size = m_horizontal ? height() : width();
    const int wanted = (m_horizontal ? parentPos.y() : parentPos.x()) - m_grabOffset;
    return std::clamp(wanted, m_low, std::max(m_low, m_high - size));
}

void CSplitterBar::MoveFeedback(int position)
{
    QRect rect = geometry();
    if (m_horizontal)
        rect.moveTop(position);
    else
        rect.moveLeft(position);
    m_feedback->setGeometry(rect);
    m_feedback->raise();
    m_feedback->show();
}

void CSplitterBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // The panes may have grown or shrunk with the page since they were fitted.
    UpdateLimits();
    const QPoint local = event->position().toPoint();
    m_grabOffset = m_horizontal ? local.y() : local.x();
    m_dragging = true;
    MoveFeedback(ClampedPosition(mapToParent(local)));
}

void CSplitterBar::mouseMoveEvent(QMouseEvent* event)
{
    // Moves reach the bar only while a button holds it; a drag ends with the left one.
    if (!m_dragging)
        return;
    MoveFeedback(ClampedPosition(mapToParent(event->position().toPoint())));
}

void CSplitterBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragging || event->button() != Qt::LeftButton)
        return;
    const int position = ClampedPosition(mapToParent(event->position().toPoint()));
    m_dragging = false;
    m_feedback->hide();
    if (m_horizontal)
        move(x(), position);
    else
        move(position, y());
    FitPanes();
    if (m_moved)
        m_moved();
}
