#pragma once

#include <QObject>

// Swallows the Escape key for the widgets it is installed on, so that Escape closes no
// dialog and no message box of the program.
class CEscapeFilter : public QObject
{
public:
    explicit CEscapeFilter(QObject* parent = nullptr);

    // Installs a filter owned by widget on widget itself.
    static void InstallOn(QObject* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
