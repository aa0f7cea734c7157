#pragma once

#include <QDBusAbstractAdaptor>
#include <QVariantMap>

class CAutomationServer;

// org.freedesktop.Application on the automation object: Activate brings the main window to
// the front, as a second start of the program asks the first to.
class CApplicationAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit CApplicationAdaptor(CAutomationServer& server);

public Q_SLOTS:
    void Activate(const QVariantMap& platformData);

private:
    CAutomationServer& m_server;
};
