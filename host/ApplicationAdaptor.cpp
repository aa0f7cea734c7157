#include "ApplicationAdaptor.h"

#include "AutomationServer.h"

CApplicationAdaptor::CApplicationAdaptor(CAutomationServer& server)
    : QDBusAbstractAdaptor(&server), m_server(server)
{
}

void CApplicationAdaptor::Activate(const QVariantMap& platformData)
{
    Q_UNUSED(platformData);
    m_server.ActivateWindow();
}
