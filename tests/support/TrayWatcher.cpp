// test-tray-watcher: a stand-in for a desktop panel's tray on the session bus. It owns
// org.kde.StatusNotifierWatcher and answers at /StatusNotifierWatcher, with its
// properties in the introspection data (Qt reads IsStatusNotifierHostRegistered
// through it to decide whether a system tray exists). Every item that registers is
// printed as "registered <service>" on standard output. Runs until killed.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>

#include <cstdio>

class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    QStringList items() const { return m_items; }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public slots:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message) {
        // An item may give its object path instead of a bus name: then it is the sender's.
        const QString item = service.startsWith(u'/') ? message.service() + service : service;
        m_items << item;
        std::printf("registered %s\n", qPrintable(item));
        std::fflush(stdout);
        emit StatusNotifierItemRegistered(item);
    }
    void RegisterStatusNotifierHost(const QString&) {}

signals:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    QStringList m_items;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Watcher watcher;
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                            QDBusConnection::ExportAllContents) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "test-tray-watcher: cannot serve org.kde.StatusNotifierWatcher: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "TrayWatcher.moc"
