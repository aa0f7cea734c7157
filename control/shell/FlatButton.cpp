#include "FlatButton.h"

#include <QApplication>
#include <QEnterEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace
{
// The icon's silhouette in one colour.
QPixmap Silhouette(const QPixmap& source, const QColor& color)
{
    QPixmap result(source.size());
    result.setDevicePixelRatio(source.devicePixelRatio());
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.drawPixmap(0, 0, source);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(result.rect(), color);
    return result;
}
}  // namespace

CFlatButton::CFlatButton(bool flat, bool drawText, bool drawIcon, int iconPlacement, QWidget* parent)
    : QAbstractButton(parent)
    , m_flat(flat)
    , m_drawText(drawText)
    , m_drawIcon(drawIcon)
    , m_iconPlacement(iconPlacement)
{
    setIconSize(QSize(kIconSize, kIconSize));
    // A click must not take the focus from the search box or the tree; Tab still reaches it.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
}

void CFlatButton::ClearHover()
{
    if (!m_hovering)
        return;
    m_hovering = false;
    update();
}

QSize CFlatButton::sizeHint() const
{
    QSize size(kIconSize + 8, kIconSize + 8);
    if (m_drawText && !text().isEmpty())
        size.rwidth() += fontMetrics().horizontalAdvance(text()) + 6;
    return size;
}

void CFlatButton::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    // Hover only in the active application, and not while a drag from elsewhere goes on.
    if (!m_flat || !isEnabled() || !QApplication::activeWindow() || (QApplication::mouseButtons() & Qt::LeftButton))
        return;
    m_hovering = true;
    update();
}

void CFlatButton::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    ClearHover();
}

void CFlatButton::focusOutEvent(QFocusEvent* event)
{
    QAbstractButton::focusOutEvent(event);
    ClearHover();
}

void CFlatButton::changeEvent(QEvent* event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        ClearHover();
}

void CFlatButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& pal = palette();
    const bool pressed = isDown() || isChecked();
    const bool focused = hasFocus();
    const bool enabled = isEnabled();
    QRect rect = this->rect();

    if (!m_flat && focused) {
        painter.setPen(pal.color(QPalette::Shadow));
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
        rect.adjust(1, 1, -1, -1);
    }
    painter.fillRect(rect, pal.brush(QPalette::Button));

    const QColor highlight = pal.color(QPalette::Light);
    const QColor light = pal.color(QPalette::Midlight);
    const QColor shadow = pal.color(QPalette::Mid);
    const QColor darkShadow = pal.color(QPalette::Shadow);
    const int l = rect.left();
    const int t = rect.top();
    const int r = rect.right();
    const int b = rect.bottom();
    auto edge = [&painter](const QColor& color, int x1, int y1, int x2, int y2) {
        painter.setPen(color);
        painter.drawLine(x1, y1, x2, y2);
    };
    if (pressed && !m_flat) {
        painter.setPen(shadow);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
    } else if (pressed && enabled) {
        edge(shadow, l, t, r, t);
        edge(shadow, l, t, l, b);
        edge(highlight, l, b, r, b);
        edge(highlight, r, t, r, b);
    } else if (!m_flat) {
        edge(highlight, l, t, r - 1, t);
        edge(highlight, l, t, l, b - 1);
        edge(light, l + 1, t + 1, r - 2, t + 1);
        edge(light, l + 1, t + 1, l + 1, b - 2);
        edge(darkShadow, l, b, r, b);
        edge(darkShadow, r, t, r, b);
        edge(shadow, l + 1, b - 1, r - 1, b - 1);
        edge(shadow, r - 1, t + 1, r - 1, b - 1);
    } else if (enabled && m_hovering) {
        edge(highlight, l, t, r, t);
        edge(highlight, l, t, l, b);
        edge(shadow, l, b, r, b);
        edge(shadow, r, t, r, b);
    }

    if (m_drawIcon)
        DrawIcon(painter, rect, pressed && enabled);
    if (m_drawText)
        DrawText(painter, rect, pressed && enabled);

    if (focused && !m_flat) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = this->rect().adjusted(4, 4, -4, -4);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void CFlatButton::DrawIcon(QPainter& painter, const QRect& rect, bool pressed) const
{
    if (icon().isNull())
        return;
    const bool hasText = m_drawText && !text().isEmpty();
    QRect target(0, 0, kIconSize, kIconSize);
    switch (hasText ? m_iconPlacement : kIconCentred) {
    case kIconAboveText:
        target.moveTopLeft(QPoint(rect.left() + (rect.width() - kIconSize) / 2, rect.top() + 3));
        break;
    case kIconRight:
        target.moveTopLeft(QPoint(rect.right() - kIconSize - 2, rect.top() + (rect.height() - kIconSize) / 2));
        break;
    default:
        if (hasText)
            target.moveTopLeft(QPoint(rect.left() + 3, rect.top() + (rect.height() - kIconSize) / 2));
        else
            target.moveTopLeft(rect.topLeft() + QPoint((rect.width() - kIconSize) / 2, (rect.height() - kIconSize) / 2));
        break;
    }
    if (pressed)
        target.translate(1, 1);

    const qreal ratio = devicePixelRatioF();
    const QPixmap pixmap = icon().pixmap(QSize(kIconSize, kIconSize), ratio, QIcon::Normal);
    if (isEnabled()) {
        painter.drawPixmap(target, pixmap);
        return;
    }
    // Embossed: the silhouette in the highlight colour one pixel down-right, then in the
    // shadow colour on top.
    painter.drawPixmap(target.translated(1, 1), Silhouette(pixmap, palette().color(QPalette::Light)));
    painter.drawPixmap(target, Silhouette(pixmap, palette().color(QPalette::Mid)));
}

void CFlatButton::DrawText(QPainter& painter, const QRect& rect, bool pressed) const
{
    const QString label = text().left(255);
    if (label.isEmpty())
        return;
    QRect area = rect;
    const bool hasIcon = m_drawIcon && !icon().isNull();
    if (hasIcon) {
        switch (m_iconPlacement) {
        case kIconAboveText:
            area.setTop(rect.top() + 3 + kIconSize);
            break;
        case kIconRight:
            area.setRight(rect.right() - kIconSize - 4);
            break;
        default:
            area.setLeft(rect.left() + 3 + kIconSize);
            break;
        }
    }
    if (pressed)
        area.translate(1, 1);
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    if (!isEnabled()) {
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(area.translated(1, 1), Qt::AlignCenter | Qt::TextSingleLine, label);
    }
    painter.setPen(palette().color(group, QPalette::ButtonText));
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, label);
}
