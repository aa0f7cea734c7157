#pragma once

#include <vector>

#include <QPointer>
#include <QRect>

class QWidget;

// Moves or stretches a page's children when the page changes size. The first size only
// records; each later one moves every child by the change, as its flags say.
class CResizeAnchors
{
public:
    enum : unsigned
    {
        kFollowRight = 1,
        kFollowBottom = 2,
        kStretchRight = 4,  // wins over kFollowRight
        kStretchBottom = 8,  // wins over kFollowBottom
    };

    void Add(QWidget* child, unsigned flags);
    void Resize(int cx, int cy);

private:
    struct CEdges
    {
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
    };
    struct CEntry
    {
        QPointer<QWidget> child;
        unsigned flags = 0;
        // Where the child would be if a widget could have a negative size, so that a page
        // shrunk past its children and grown again puts every child back.
        CEdges logical;
        QRect applied;
        bool hasApplied = false;
    };

    int m_cx = 0;
    int m_cy = 0;
    std::vector<CEntry> m_entries;
};
