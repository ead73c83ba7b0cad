#include "store/ExportFile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trevalin {

namespace {

// As many links as the kernel follows in one path lookup.
constexpr int kMaxLinks = 40;

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

void writeDirectly(const QString& path, const QString& target, const QByteArray& data) {
    const int fd = ::open(QFile::encodeName(target).constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw ExportFileError(path, errnoText(errno));
    const char* next = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, std::size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : EIO;
            ::close(fd);
            throw ExportFileError(path, errnoText(error));
        }
        next += written;
        left -= written;
    }
    if (::close(fd) != 0 && errno != EINTR)
        throw ExportFileError(path, errnoText(errno));
}

} // namespace

QString ExportFile::resolveTarget(const QString& path) {
    QString current = path;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        const QByteArray name = QFile::encodeName(current);
        struct stat st;
        if (::lstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current; // nothing there, or not a link: this is the target
        QByteArray link(st.st_size > 0 ? st.st_size + 1 : 4096, '\0');
        const ssize_t length = ::readlink(name.constData(), link.data(), std::size_t(link.size()));
        if (length < 0)
            throw ExportFileError(path, errnoText(errno));
        link.truncate(length);
        const QString next = QFile::decodeName(link);
        if (next.startsWith(u'/')) {
            current = next;
        } else {
            const qsizetype slash = current.lastIndexOf(u'/');
            current = slash < 0 ? next : current.left(slash + 1) + next;
        }
    }
    throw ExportFileError(path, errnoText(ELOOP));
}

void ExportFile::write(const QString& path, const QByteArray& data) {
    const QString target = resolveTarget(path);
    struct stat st;
    if (::stat(QFile::encodeName(target).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode))
            throw ExportFileError(path, errnoText(EISDIR));
        writeDirectly(path, target, data);
        return;
    }
    QSaveFile file(target);
    // Never fall back to writing a regular target in place: the old file must survive.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        throw ExportFileError(path, file.errorString());
    if (file.write(data) != data.size()) {
        const QString cause = file.errorString();
        file.cancelWriting();
        throw ExportFileError(path, cause);
    }
    if (!file.commit())
        throw ExportFileError(path, file.errorString());
}

} // namespace trevalin
