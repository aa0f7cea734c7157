#include "EscapeFilter.h"

#include <QKeyEvent>

CEscapeFilter::CEscapeFilter(QObject* parent)
    : QObject(parent)
{
}

void CEscapeFilter::InstallOn(QObject* widget)
{
    widget->installEventFilter(new CEscapeFilter(widget));
}

bool CEscapeFilter::eventFilter(QObject* watched, QEvent* event)
{
    // Key presses the focus widget ignores come here on their way up to the dialog; a
    // shortcut on Escape would be looked up first, so that goes too.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
        return true;
    return QObject::eventFilter(watched, event);
}
