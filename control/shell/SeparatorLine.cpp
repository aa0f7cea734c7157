#include "SeparatorLine.h"

#include <QPainter>

CSeparatorLine::CSeparatorLine(QWidget* parent)
    : QWidget(parent)
{
}

void CSeparatorLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, 0, 0, height() - 1);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(1, 0, 1, height() - 1);
}
