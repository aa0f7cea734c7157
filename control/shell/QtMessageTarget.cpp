#include "QtMessageTarget.h"

#include <QCoreApplication>
#include <QEvent>

namespace
{
QEvent::Type PostedMessageType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

struct CPostedMessage : QEvent
{
    CPostedMessage(unsigned message, WPARAM wParam, LPARAM lParam)
        : QEvent(PostedMessageType()), message(message), wParam(wParam), lParam(lParam)
    {
    }

    unsigned message;
    WPARAM wParam;
    LPARAM lParam;
};
}  // namespace

CQtMessageTarget::CQtMessageTarget(Handler handler, QObject* parent)
    : QObject(parent)
    , m_handler(std::move(handler))
    , m_target([this](unsigned message, WPARAM wParam, LPARAM lParam) {
        // Runs on the posting thread; postEvent is thread-safe and takes ownership.
        QCoreApplication::postEvent(this, new CPostedMessage(message, wParam, lParam));
    })
{
}

// The handle is unregistered first (member order), so no post can reach a half-gone object.
CQtMessageTarget::~CQtMessageTarget() = default;

void CQtMessageTarget::customEvent(QEvent* event)
{
    if (event->type() != PostedMessageType()) {
        QObject::customEvent(event);
        return;
    }
    const auto* posted = static_cast<CPostedMessage*>(event);
    if (m_handler)
        m_handler(posted->message, posted->wParam, posted->lParam);
}
