#pragma once

#include <QObject>

// Installed on the application: every Escape key press is discarded before any window sees
// it, so Escape closes neither the main window nor a dialog, message box or open menu.
class CEscapeKeyFilter : public QObject
{
public:
    explicit CEscapeKeyFilter(QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
