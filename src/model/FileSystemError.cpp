#include "model/FileSystemError.h"

#include <cerrno>
#include <cstring>

namespace trevalin {

QString toString(FileSystemError error) {
    switch (error) {
    case FileSystemError::NotFound:
        return QStringLiteral("NotFound");
    case FileSystemError::NotReadable:
        return QStringLiteral("NotReadable");
    case FileSystemError::NotPermitted:
        return QStringLiteral("NotPermitted");
    case FileSystemError::NotDirectory:
        return QStringLiteral("NotDirectory");
    case FileSystemError::NotFile:
        return QStringLiteral("NotFile");
    case FileSystemError::InputStreamError:
        return QStringLiteral("InputStreamError");
    case FileSystemError::Interrupted:
        return QStringLiteral("Interrupted");
    }
    return {};
}

FileSystemException::FileSystemException(FileSystemError error, const QString& path)
    : m_error(error)
    , m_path(path) {
    m_what = description().toStdString();
}

FileSystemException FileSystemException::fromErrno(int errnoValue, const QString& path) {
    FileSystemError error = FileSystemError::InputStreamError;
    switch (errnoValue) {
    case ENOENT:
        error = FileSystemError::NotFound;
        break;
    case EACCES:
        error = FileSystemError::NotReadable;
        break;
    case EPERM:
    case EROFS:
        error = FileSystemError::NotPermitted;
        break;
    case ENOTDIR:
        error = FileSystemError::NotDirectory;
        break;
    case EISDIR:
        error = FileSystemError::NotFile;
        break;
    case EINTR:
        error = FileSystemError::Interrupted;
        break;
    default:
        break;
    }
    FileSystemException exception(error, path);
    exception.m_errno = errnoValue;
    exception.m_what = exception.description().toStdString();
    return exception;
}

QString FileSystemException::description() const {
    QString text = QStringLiteral("FileSystemError.") + toString(m_error);
    if (m_errno != 0)
        text += QStringLiteral(" (") + QString::fromLocal8Bit(std::strerror(m_errno)) + u')';
    if (!m_path.isEmpty())
        text += QStringLiteral(": ") + m_path;
    return text;
}

} // namespace trevalin
