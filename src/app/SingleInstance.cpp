#include "app/SingleInstance.h"

#include "engine/DistributedNotifications.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

namespace trevalin {

namespace {

QString serviceName() {
    return QString::fromLatin1(DistributedNotifications::kTrevalinService);
}

} // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent) {}

SingleInstance::~SingleInstance() {
    if (m_owned) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QLatin1String(kObjectPath));
        bus.unregisterService(serviceName());
    }
}

SingleInstance::Claim SingleInstance::claim() {
    if (!DistributedNotifications::sessionBusConfigured())
        return Claim::noBus;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return Claim::noBus;
    // The object first, so that whoever sees the name can call it at once.
    if (!bus.registerObject(QLatin1String(kObjectPath), this,
                            QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportAllProperties))
        return Claim::noBus;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(serviceName(), QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_owned = true;
        return Claim::owned;
    }
    bus.unregisterObject(QLatin1String(kObjectPath));
    return Claim::alreadyRunning;
}

bool SingleInstance::forward(const QUrl& url, QString* error) {
    QDBusMessage call = QDBusMessage::createMethodCall(serviceName(), QLatin1String(kObjectPath),
                                                       QLatin1String(kInterface), QStringLiteral("Open"));
    call << url.toString();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    if (error)
        *error = reply.errorMessage();
    return false;
}

void SingleInstance::Open(const QString& url) {
    if (m_open)
        m_open(QUrl(url));
}

} // namespace trevalin
