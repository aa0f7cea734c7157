#pragma once

#include <map>
#include <memory>
#include <optional>

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>

class CVantrelApp;
class CVantrelDlgAutoProxy;

// The automation object on the session bus: Vantrel.IVantrel at /Vantrel/Application under
// the name Vantrel.Application. Every bus client that calls gets an object of its own, which
// it holds until it leaves the bus. org.freedesktop.Application's Activate, which another
// start of the program uses, brings the window forward without making an object.
class CAutomationServer : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "Vantrel.IVantrel")

public:
    explicit CAutomationServer(CVantrelApp& app);
    ~CAutomationServer() override;

    // Registers the object, then takes the name; false when either is refused.
    bool Publish(const QDBusConnection& bus);
    // Gives up the name and the object; the clients' objects stay until the server goes.
    void Withdraw();

    int GetClientCount() const { return static_cast<int>(m_clients.size()); }
    void ActivateWindow();

public Q_SLOTS:
    Q_SCRIPTABLE void Launch();
    Q_SCRIPTABLE void ShowTab(const QString& tabName);
    Q_SCRIPTABLE void ShowJavaItem(const QString& packageName, const QString& className, const QString& methodName);

private:
    struct CClient
    {
        std::unique_ptr<CVantrelDlgAutoProxy> proxy;
        int calls = 0;      // calls of this client still running (a search runs a nested loop)
        bool gone = false;  // left the bus during a call
    };

    template <typename Call>
    void Dispatch(Call call);
    void ClientGone(const QString& client);
    void Release(const QString& client);

    CVantrelApp& m_app;
    QDBusServiceWatcher m_watcher;
    std::map<QString, CClient> m_clients;
    std::optional<QDBusConnection> m_bus;
    bool m_ownsName = false;
};
