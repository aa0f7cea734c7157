#include "QtTestSupport.h"

#include <thread>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>

#include "PrivateBus.h"

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeout.count())
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void Pump(std::chrono::milliseconds time)
{
    WaitFor([] { return false; }, time);
}

QDBusConnection ConnectToBus(const CPrivateBus& bus, const QString& name)
{
    return QDBusConnection::connectToBus(QString::fromStdString(bus.Address()), name);
}

std::int64_t HostOnBus(const CPrivateBus& bus, const QString& connection)
{
    QDBusConnectionInterface* daemon = ConnectToBus(bus, connection).interface();
    const QString name = QStringLiteral("Vantrel.Application");
    return daemon->isServiceRegistered(name) ? daemon->servicePid(name).value() : 0;
}
