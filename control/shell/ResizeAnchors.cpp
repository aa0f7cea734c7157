#include "ResizeAnchors.h"

#include <algorithm>

#include <QWidget>

void CResizeAnchors::Add(QWidget* child, unsigned flags)
{
    CEntry entry;
    entry.child = child;
    entry.flags = flags;
    m_entries.push_back(entry);
}

void CResizeAnchors::Resize(int cx, int cy)
{
    if (m_cx > 0 && m_cy > 0 && (cx != m_cx || cy != m_cy)) {
        const int dx = cx - m_cx;
        const int dy = cy - m_cy;
        for (CEntry& entry : m_entries) {
            if (!entry.child)
                continue;
            CEdges edges = entry.logical;
            // A child that someone else moved since (the splitter) starts from where it is.
            if (!entry.hasApplied || entry.child->geometry() != entry.applied) {
                const QRect rect = entry.child->geometry();
                edges = {rect.x(), rect.y(), rect.x() + rect.width(), rect.y() + rect.height()};
            }
            if (entry.flags & kStretchRight) {
                edges.right += dx;
            } else if (entry.flags & kFollowRight) {
                edges.left += dx;
                edges.right += dx;
            }
            if (entry.flags & kStretchBottom) {
                edges.bottom += dy;
            } else if (entry.flags & kFollowBottom) {
                edges.top += dy;
                edges.bottom += dy;
            }
            entry.logical = edges;
            entry.child->setGeometry(edges.left, edges.top, std::max(0, edges.right - edges.left),
                                     std::max(0, edges.bottom - edges.top));
            entry.applied = entry.child->geometry();
            entry.hasApplied = true;
        }
    }
    m_cx = cx;
    m_cy = cy;
}
