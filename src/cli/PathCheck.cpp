#include "cli/PathCheck.h"

#include "model/FileSystem.h"
#include "model/FileSystemError.h"
#include "store/Database.h"
#include "store/PlistFile.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace trevalin {

namespace {

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// What kind of thing that is neither a regular file nor a folder is at `path`.
QString kindOf(const QString& path) {
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("special file");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("FIFO");
    if (S_ISSOCK(st.st_mode))
        return QStringLiteral("socket");
    if (S_ISCHR(st.st_mode))
        return QStringLiteral("character device");
    if (S_ISBLK(st.st_mode))
        return QStringLiteral("block device");
    return QStringLiteral("special file");
}

} // namespace

std::optional<Location> PathCheck::locate(const QString& argument, QString* error) {
    if (!argument.startsWith(u'/')) {
        // The same question, with the same limit, that making the path absolute asks.
        char buffer[PATH_MAX];
        if (::getcwd(buffer, sizeof buffer) == nullptr) {
            *error = QStringLiteral("cannot determine the current folder for \"%1\": %2")
                         .arg(PlistFile::printable(argument), errnoText(errno));
            return std::nullopt;
        }
    }
    return Location(argument);
}

std::optional<QString> PathCheck::addRefusal(const Location& location) {
    if (!Database::isStorable(location))
        return QStringLiteral("the content database cannot store this name (it is not valid UTF-8 or holds "
                              "a control character)");
    const FileSystem entry(location);
    FileAttributes attributes;
    try {
        attributes = entry.attributes();
    } catch (const FileSystemException& error) {
        if (error.error() == FileSystemError::NotFound)
            return QStringLiteral("no such file or folder");
        if (error.error() == FileSystemError::NotReadable)
            return entry.isDirectory() ? QStringLiteral("the folder cannot be read (permission denied)")
                                       : QStringLiteral("the file cannot be read (permission denied)");
        return error.description();
    }
    switch (attributes.type) {
    case FileAttributes::Type::Regular:
        return std::nullopt;
    case FileAttributes::Type::Directory:
        try {
            entry.directoryContents();
        } catch (const FileSystemException& error) {
            return QStringLiteral("the folder cannot be listed: ") +
                   (error.systemErrno() ? errnoText(error.systemErrno()) : error.description());
        }
        return std::nullopt;
    case FileAttributes::Type::Other:
        break;
    }
    return QStringLiteral("it is a %1, not a regular file or folder").arg(kindOf(location.path()));
}

QString PathCheck::printable(const Location& location) {
    return PlistFile::printable(location.path());
}

} // namespace trevalin
