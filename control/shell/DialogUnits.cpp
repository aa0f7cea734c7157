#include "DialogUnits.h"

#include <algorithm>

#include <QFontMetrics>
#include <QString>

CDialogUnits::CDialogUnits(const QFontMetrics& metrics)
{
    const int alphabet =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseUnitX = std::max(1, (alphabet / 26 + 1) / 2);
    m_baseUnitY = std::max(1, metrics.height());
}

QRect CDialogUnits::Map(int x, int y, int width, int height) const
{
    auto mapX = [this](int value) { return (value * m_baseUnitX + 2) / 4; };
    auto mapY = [this](int value) { return (value * m_baseUnitY + 4) / 8; };
    return QRect(mapX(x), mapY(y), mapX(width), mapY(height));
}
