#include "BusyCursor.h"

#include <QApplication>
#include <QCursor>

CBusyCursor::~CBusyCursor()
{
    if (m_depth > 0)
        QApplication::restoreOverrideCursor();
}

void CBusyCursor::Begin()
{
    if (m_depth++ == 0)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void CBusyCursor::End()
{
    if (m_depth == 0)
        return;
    if (--m_depth == 0)
        QApplication::restoreOverrideCursor();
}
