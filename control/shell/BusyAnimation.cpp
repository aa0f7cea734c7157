#include "BusyAnimation.h"

#include <cmath>
#include <numbers>

#include <QPainter>

namespace
{
constexpr int kDots = 10;
}

CBusyAnimation::CBusyAnimation(QWidget* parent)
    : QWidget(parent)
{
    m_timer.setInterval(1000 / kFramesPerSecond);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % kFrameCount;
        update();
    });
}

void CBusyAnimation::Play()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void CBusyAnimation::Stop()
{
    m_timer.stop();
    m_frame = 0;
    update();
}

// A ring of dots with one bright dot and a fading trail that goes round twice in the 20
// frames; standing still, the ring is grey with its top dot lit.
void CBusyAnimation::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal size = std::min(width(), height()) - 4;
    if (size <= 4)
        return;
    const QPointF centre = QRectF(rect()).center();
    const qreal radius = size / 2 - size / 10;
    const qreal dot = std::max<qreal>(1.0, size / 10);
    const QColor active(0x2f, 0x6d, 0xb5);
    const QColor idle = palette().color(QPalette::Mid);
    const bool playing = IsPlaying();
    const int lead = m_frame % kDots;
    for (int i = 0; i < kDots; ++i) {
        const qreal angle = 2 * std::numbers::pi * i / kDots - std::numbers::pi / 2;
        const QPointF at = centre + QPointF(std::cos(angle), std::sin(angle)) * radius;
        const int behind = (lead - i + kDots) % kDots;
        QColor color = idle;
        if (behind == 0) {
            color = active;
        } else if (playing && behind < 4) {
            color = active;
            color.setAlphaF(1.0 - behind * 0.25);
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(at, dot, dot);
    }
}
