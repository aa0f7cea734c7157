#pragma once

#include <QRect>

class QFontMetrics;

// Dialog units as Windows derives them from a dialog's font: a template's positions in
// pixels.
class CDialogUnits
{
public:
    explicit CDialogUnits(const QFontMetrics& metrics);

    QRect Map(int x, int y, int width, int height) const;

private:
    int m_baseUnitX = 6;
    int m_baseUnitY = 13;
};
