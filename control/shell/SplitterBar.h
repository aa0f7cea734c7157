#pragma once

#include <functional>

#include <QPointer>
#include <QWidget>

// The bar between two panes of a page. Dragging shows a halftone feedback bar that stays
// between the first pane's left and the second pane's right edge; on release the bar
// moves there and the panes follow.
class CSplitterBar : public QWidget
{
public:
    // horizontal false: a vertical bar dragged left and right (the pages' kind).
    CSplitterBar(QWidget* parent, bool horizontal);

    // Puts the bar on the first pane's far edge and fits both panes to it.
    void Place(QWidget* first, QWidget* second);
    // Moves the bar to a position (left or top) within the panes and fits them to it;
    // answers whether it got there without being held back by the panes' limits.
    bool MoveTo(int position);
    int GetPosition() const { return m_horizontal ? y() : x(); }
    // Called after the user has dragged the bar to a new place.
    void OnMoved(std::function<void()> moved) { m_moved = std::move(moved); }

    bool IsDragging() const { return m_dragging; }
    QWidget* GetFeedback() const { return m_feedback; }
    int GetLowLimit() const { return m_low; }
    int GetHighLimit() const { return m_high; }

    // The frame thickness that sets the bar's width, and the border by which the panes
    // reach under it.
    static constexpr int kFrameThickness = 6;
    static constexpr int kBorder = 1;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The bar's position (left or top) for a mouse position in the parent, within the limits.
    int ClampedPosition(const QPoint& parentPos) const;
    void MoveFeedback(int position);
    void FitPanes();
    void UpdateLimits();

    bool m_horizontal;
    QPointer<QWidget> m_first;
    QPointer<QWidget> m_second;
    QWidget* m_feedback;
    int m_low = 0;
    int m_high = 0;
    int m_grabOffset = 0;
    bool m_dragging = false;
    std::function<void()> m_moved;
};
