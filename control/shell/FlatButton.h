#pragma once

#include <QAbstractButton>

// A toolbar button drawn by hand. Flat: no border until the mouse is over it, sunken while
// pressed; a disabled button draws its icon embossed and never shows a border.
class CFlatButton : public QAbstractButton
{
public:
    enum IconPlacement
    {
        kIconCentred = 0,  // left, 3 pixels in, when there is text
        kIconAboveText = 1,
        kIconRight = 2,
    };

    CFlatButton(bool flat, bool drawText, bool drawIcon, int iconPlacement, QWidget* parent = nullptr);

    bool IsHovering() const { return m_hovering; }
    // Drops the hover look, for a button whose click opened a window over it.
    void ClearHover();

    QSize sizeHint() const override;

    static constexpr int kIconSize = 16;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void DrawIcon(QPainter& painter, const QRect& rect, bool pressed) const;
    void DrawText(QPainter& painter, const QRect& rect, bool pressed) const;

    bool m_flat;
    bool m_drawText;
    bool m_drawIcon;
    int m_iconPlacement;
    bool m_hovering = false;
};
