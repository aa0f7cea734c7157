#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include <QDBusConnection>
#include <QString>

class CPrivateBus;

// Runs the Qt event loop until done answers true or the time is up; the last answer.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(20));
// Runs the event loop for a while.
void Pump(std::chrono::milliseconds time);

// A connection of the test's own to the bus, by name; QDBusConnection::disconnectFromBus
// leaves the bus.
QDBusConnection ConnectToBus(const CPrivateBus& bus, const QString& name);
// The process that owns Vantrel.Application, asked over the named connection; 0 when none.
std::int64_t HostOnBus(const CPrivateBus& bus, const QString& connection);
