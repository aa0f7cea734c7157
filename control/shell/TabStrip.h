#pragma once

#include <QFont>
#include <QTabBar>

// The control's tab strip. Labels are drawn by the strip itself: each centred at the top of
// its tab, the selected one on a button-face ground in a bold copy of the strip's font.
class CTabStrip : public QTabBar
{
public:
    explicit CTabStrip(QWidget* parent = nullptr);

    // The strip's font and the bold one for the selected label.
    void SetLabelFonts(const QFont& font, const QFont& boldFont);
    // The font the label of tab index is drawn with.
    QFont LabelFont(int index) const;

protected:
    QSize tabSizeHint(int index) const override;
    QSize minimumTabSizeHint(int index) const override;
    void paintEvent(QPaintEvent* event) override;

private:
    QFont m_boldFont;
};
