#include "engine/DataLock.h"

#include "engine/DistributedNotifications.h"

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
    return DistributedNotifications::isRunning(QString::fromLatin1(kServiceName));
}

bool DataLock::acquire(QString* reason, Check check) {
    if (m_fd >= 0)
        return true;
    if (check == Check::desktopAndFile && desktopRunning()) {
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
