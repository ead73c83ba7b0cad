#include "logging/FileDestination.h"

#include "logging/ConsoleDestination.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace trevalin {

namespace {

constexpr Level allLevels[] = {Level::Verbose, Level::Debug, Level::Info, Level::Warning, Level::Error};

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString executableName() {
    QString name;
    if (QCoreApplication::instance())
        name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (name.isEmpty())
        name = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget().section(u'/', -1);
    if (name.isEmpty())
        name = QCoreApplication::applicationName();
    return name;
}

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, std::size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

} // namespace

FileDestination::FileDestination()
    : FileDestination(defaultLogFilePath()) {}

FileDestination::FileDestination(const QString& logFilePath)
    : m_path(logFilePath) {}

FileDestination::~FileDestination() {
    std::lock_guard lock(m_fileMutex);
    closeFile();
}

QString FileDestination::defaultLogFilePath() {
    QString caches = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (caches.isEmpty())
        caches = QDir::homePath() + QStringLiteral("/.cache");
    QString folder = caches;
    const QString name = executableName();
    if (!name.isEmpty()) {
        const QString sub = caches + u'/' + name;
        if (QDir().mkpath(sub))
            folder = sub;
        else
            printLine(QStringLiteral("Warning! Could not create folder /Library/Caches/") + name);
    }
    return folder + QStringLiteral("/logger.log");
}

QString FileDestination::logFilePath() const {
    std::lock_guard lock(m_fileMutex);
    return m_path;
}

void FileDestination::setLogFilePath(const QString& path) {
    std::lock_guard lock(m_fileMutex);
    if (path == m_path)
        return;
    closeFile();
    m_path = path;
}

QUrl FileDestination::logFileURL() const {
    const QString path = logFilePath();
    return path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path);
}

void FileDestination::setLogFileURL(const QUrl& url) {
    setLogFilePath(url.isEmpty() ? QString() : url.toLocalFile());
}

void FileDestination::setColored(bool value) {
    m_colored.store(value, std::memory_order_relaxed);
    if (value) {
        setReset(QStringLiteral("\u001b[0m"));
        setEscape(QStringLiteral("\u001b[38;5;"));
        for (Level level : allLevels)
            setLevelColor(level, ConsoleDestination::terminalColor(level));
    } else {
        setReset(QString());
        setEscape(QString());
        for (Level level : allLevels)
            setLevelColor(level, QString());
    }
}

bool FileDestination::deleteLogFile() {
    std::lock_guard lock(m_fileMutex);
    closeFile();
    if (m_path.isEmpty())
        return true;
    const QByteArray path = QFile::encodeName(m_path);
    if (::unlink(path.constData()) != 0 && errno != ENOENT) {
        printLine(QStringLiteral("File destination could not remove file ") + urlText());
        return false;
    }
    return true;
}

std::optional<QString> FileDestination::send(const LogEntry& entry) {
    std::optional<QString> line = BaseDestination::send(entry);
    if (line) {
        std::lock_guard lock(m_fileMutex);
        if (!m_path.isEmpty() && !writeLine(*line))
            printLine(QStringLiteral("File destination could not write to file ") + urlText());
    }
    return line;
}

QString FileDestination::urlText() const {
    return QUrl::fromLocalFile(m_path).toString(QUrl::FullyEncoded);
}

void FileDestination::closeFile() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void FileDestination::rotateIfNeeded(const QString& path) {
    const int amount = logFileAmount();
    if (amount <= 1)
        return;
    struct stat info {};
    const QByteArray live = QFile::encodeName(path);
    if (::stat(live.constData(), &info) != 0 || qint64(info.st_size) <= logFileMaxSize())
        return;

    closeFile();
    auto numbered = [&](int i) { return QFile::encodeName(path + u'.' + QString::number(i)); };
    for (int i = amount - 1; i >= 1; --i) {
        const QByteArray name = numbered(i);
        if (::access(name.constData(), F_OK) != 0)
            continue;
        if (i == amount - 1) {
            if (::unlink(name.constData()) != 0)
                printLine(QStringLiteral("rotateFile error: could not remove %1: %2")
                              .arg(QFile::decodeName(name), errnoText(errno)));
        } else {
            const QByteArray next = numbered(i + 1);
            if (::rename(name.constData(), next.constData()) != 0)
                printLine(QStringLiteral("rotateFile error: could not move %1 to %2: %3")
                              .arg(QFile::decodeName(name), QFile::decodeName(next), errnoText(errno)));
        }
    }
    const QByteArray first = numbered(1);
    if (::rename(live.constData(), first.constData()) != 0)
        printLine(QStringLiteral("rotateFile error: could not move %1 to %2: %3")
                      .arg(path, QFile::decodeName(first), errnoText(errno)));
}

bool FileDestination::writeLine(const QString& line) {
    rotateIfNeeded(m_path);

    const QByteArray path = QFile::encodeName(m_path);
    struct stat info {};
    const bool exists = ::stat(path.constData(), &info) == 0;
    if (m_fd >= 0 && (!exists || info.st_dev != m_dev || info.st_ino != m_ino))
        closeFile(); // moved or removed behind our back: write to the file at the path again
    if (m_fd < 0) {
        // Creates the file when it is missing.
        const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            printLine(QStringLiteral("validateSaveFile error: could not open %1: %2")
                          .arg(m_path, errnoText(errno)));
            return false;
        }
        struct stat opened {};
        if (::fstat(fd, &opened) == 0) {
            m_dev = opened.st_dev;
            m_ino = opened.st_ino;
        }
        m_fd = fd;
    }

    QByteArray bytes = line.toUtf8();
    bytes.append('\n');
    bool ok = writeAll(m_fd, bytes.constData(), bytes.size());
    int error = ok ? 0 : errno;
    if (ok && syncAfterEachWrite() && ::fsync(m_fd) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        printLine(QStringLiteral("Failed writing file with error: ") + errnoText(error));
        closeFile();
    }
    return ok;
}

} // namespace trevalin
