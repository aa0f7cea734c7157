#pragma once

#include <functional>

#include <QObject>

#include "MessageTarget.h"

// A message target whose posted messages arrive on the thread this object lives on (the
// user-interface thread): the post function queues a Qt event, and the event calls the
// handler there. Messages still queued when the object goes are dropped.
class CQtMessageTarget : public QObject
{
public:
    using Handler = std::function<void(unsigned message, WPARAM wParam, LPARAM lParam)>;

    explicit CQtMessageTarget(Handler handler, QObject* parent = nullptr);
    ~CQtMessageTarget() override;

    HWND GetHandle() const { return m_target.GetHandle(); }

protected:
    void customEvent(QEvent* event) override;

private:
    Handler m_handler;
    CMessageTarget m_target;  // last: unregistered before anything else goes
};
