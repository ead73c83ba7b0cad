#include "store/CorruptFile.h"

#include "logging/LogTag.h"
#include "logging/Logger.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trevalin {

namespace {

// Renames `from` to `to` unless something already exists at `to`. Returns 0 or the errno.
int renameNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the no-replace rename: a hard link cannot replace either.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP)
        return errno;
    struct stat st;
    if (::lstat(to.constData(), &st) == 0)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

} // namespace

QString CorruptFile::asideName(const QString& path, const QDateTime& now) {
    return path + QStringLiteral(".corrupt-") + now.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
}

QString CorruptFile::setAside(const QString& path, const QString& tag, const QDateTime& now) {
    const QString base = asideName(path, now);
    const QByteArray from = QFile::encodeName(path);
    int error = 0;
    for (int n = 1; n < 1000; ++n) {
        const QString aside = n == 1 ? base : base + u'-' + QString::number(n);
        error = renameNoReplace(from, QFile::encodeName(aside));
        if (error == 0) {
            TLOG_ERROR(QStringLiteral("Unreadable file moved aside to ") + aside + logTag(tag));
            return aside;
        }
        if (error != EEXIST)
            break;
    }
    TLOG_ERROR(QStringLiteral("Unable to move unreadable file aside: ") + path + QStringLiteral(" (") +
               QString::fromLocal8Bit(std::strerror(error)) + u')' + logTag(tag));
    return {};
}

bool CorruptFile::setAsideCompanion(const QString& companion, const QString& aside, const QString& suffix,
                                    const QString& tag) {
    struct stat st;
    const QByteArray from = QFile::encodeName(companion);
    if (::lstat(from.constData(), &st) != 0)
        return false;
    const QString target = aside + suffix;
    const int error = renameNoReplace(from, QFile::encodeName(target));
    if (error == 0) {
        TLOG_ERROR(QStringLiteral("Unreadable file moved aside to ") + target + logTag(tag));
        return true;
    }
    TLOG_ERROR(QStringLiteral("Unable to move unreadable file aside: ") + companion + QStringLiteral(" (") +
               QString::fromLocal8Bit(std::strerror(error)) + u')' + logTag(tag));
    return false;
}

} // namespace trevalin
