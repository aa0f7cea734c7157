#include "EscapeKeyFilter.h"

#include <QKeyEvent>

CEscapeKeyFilter::CEscapeKeyFilter(QObject* parent)
    : QObject(parent)
{
}

bool CEscapeKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    // A shortcut on Escape would be looked up first; it is discarded as well.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
        return true;
    return QObject::eventFilter(watched, event);
}
