#include "cli/DataLock.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace trevalin {

DataLock::~DataLock() {
    if (m_fd >= 0)
        ::close(m_fd); // closing the descriptor releases the flock
}

QString DataLock::lockFilePath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return folder + u'/' + QLatin1String(kLockFileName);
}

bool DataLock::desktopRunning() {
    // Only ask when a session bus is configured: connecting without one would just fail.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
        qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusConnectionInterface* iface = bus.interface();
    if (!iface)
        return false;
    const QDBusReply<bool> reply = iface->isServiceRegistered(QString::fromLatin1(kServiceName));
    return reply.isValid() && reply.value();
}

bool DataLock::acquire(QString* reason) {
    if (m_fd >= 0)
        return true;
    if (desktopRunning()) {
        if (reason)
            *reason = QStringLiteral("Trevalin is running (it owns %1 on the session bus); quit it before "
                                     "changing its data")
                          .arg(QLatin1String(kServiceName));
        return false;
    }
    const QString path = lockFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (reason)
            *reason = QStringLiteral("cannot open the lock file %1: %2")
                          .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int error = errno;
        ::close(fd);
        if (reason) {
            if (error == EWOULDBLOCK)
                *reason =
                    QStringLiteral("the data files are in use by another Trevalin process (%1 is locked)")
                        .arg(path);
            else
                *reason = QStringLiteral("cannot lock %1: %2")
                              .arg(path, QString::fromLocal8Bit(std::strerror(error)));
        }
        return false;
    }
    m_fd = fd;
    return true;
}

} // namespace trevalin
