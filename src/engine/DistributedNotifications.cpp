#include "engine/DistributedNotifications.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

namespace trevalin {

bool DistributedNotifications::sessionBusConfigured() {
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
           !qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR");
}

bool DistributedNotifications::post(const QString& name, const QString& object) {
    if (!sessionBusConfigured())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage message =
        QDBusMessage::createSignal(QLatin1String(kPath), QLatin1String(kInterface), QLatin1String(kSignal));
    message << name << object;
    return bus.send(message);
}

bool DistributedNotifications::isRunning(const QString& service) {
    if (!sessionBusConfigured())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QDBusReply<bool> reply = bus.interface()->isServiceRegistered(service);
    return reply.isValid() && reply.value();
}

} // namespace trevalin
