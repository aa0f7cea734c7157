#include "AutomationServer.h"

#include <QDBusConnectionInterface>

#include "ApplicationAdaptor.h"
#include "AutomationRegistration.h"
#include "VantrelApp.h"
#include "VantrelDlgAutoProxy.h"

CAutomationServer::CAutomationServer(CVantrelApp& app)
    : m_app(app)
{
    new CApplicationAdaptor(*this);
    m_watcher.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [this](const QString& client) { ClientGone(client); });
}

CAutomationServer::~CAutomationServer()
{
    Withdraw();
    // The objects go before the server's members do.
    m_clients.clear();
}

bool CAutomationServer::Publish(const QDBusConnection& bus)
{
    Withdraw();
    m_bus = bus;
    m_watcher.setConnection(bus);
    QDBusConnection connection = bus;
    if (!connection.registerObject(QString::fromUtf8(CAutomationRegistration::kObjectPath), this,
                                   QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportAdaptors))
        return false;
    m_ownsName = connection.registerService(QString::fromUtf8(CAutomationRegistration::kBusName));
    return m_ownsName;
}

void CAutomationServer::Withdraw()
{
    if (!m_bus)
        return;
    if (m_ownsName)
        m_bus->unregisterService(QString::fromUtf8(CAutomationRegistration::kBusName));
    m_bus->unregisterObject(QString::fromUtf8(CAutomationRegistration::kObjectPath));
    m_ownsName = false;
    m_bus.reset();
}

void CAutomationServer::ActivateWindow()
{
    ActivateMainWindow(m_app.GetMainWindow());
}

void CAutomationServer::Launch()
{
    Dispatch([](CVantrelDlgAutoProxy& proxy) { proxy.Launch(); });
}

void CAutomationServer::ShowTab(const QString& tabName)
{
    Dispatch([tab = tabName.toStdString()](CVantrelDlgAutoProxy& proxy) { proxy.ShowTab(tab); });
}

void CAutomationServer::ShowJavaItem(const QString& packageName, const QString& className, const QString& methodName)
{
    Dispatch([package = packageName.toStdString(), name = className.toStdString(),
              method = methodName.toStdString()](CVantrelDlgAutoProxy& proxy) {
        proxy.ShowJavaItem(package, name, method);
    });
}

template <typename Call>
void CAutomationServer::Dispatch(Call call)
{
    if (!calledFromDBus())
        return;
    const QString client = message().service();
    auto [it, added] = m_clients.try_emplace(client);
    CClient& entry = it->second;
    if (added) {
        entry.proxy = std::make_unique<CVantrelDlgAutoProxy>(m_app);
        m_watcher.addWatchedService(client);
        // A client that left before the watch began would otherwise hold its object for ever.
        QDBusConnectionInterface* bus = connection().interface();
        if (bus && !bus->isServiceRegistered(client).value())
            entry.gone = true;
    }
    ++entry.calls;
    call(*entry.proxy);
    --entry.calls;
    if (entry.gone && entry.calls == 0)
        Release(client);
}

void CAutomationServer::ClientGone(const QString& client)
{
    auto it = m_clients.find(client);
    if (it == m_clients.end())
        return;
    if (it->second.calls > 0)
        it->second.gone = true;
    else
        Release(client);
}

void CAutomationServer::Release(const QString& client)
{
    m_watcher.removeWatchedService(client);
    auto node = m_clients.extract(client);
    // Destroyed outside the map: the last object may end the main window's run.
    node = {};
}
