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
#include <utility>

namespace trevalin {

namespace {

constexpr Level allLevels[] = {Level::Verbose, Level::Debug, Level::Info, Level::Warning, Level::Error};

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
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

// Whether the regular file open as `fd` (at `path`) ends in a torn line: it is not
// empty and its last byte is not a line feed. A file that cannot be read back counts
// as ending well.
bool endsInTornLine(int fd, const QByteArray& path) {
    struct stat written {};
    if (::fstat(fd, &written) != 0 || !S_ISREG(written.st_mode) || written.st_size == 0)
        return false;
    const int reader = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (reader < 0)
        return false;
    char last = '\n';
    struct stat readBack {};
    if (::fstat(reader, &readBack) == 0 && readBack.st_dev == written.st_dev &&
        readBack.st_ino == written.st_ino && ::pread(reader, &last, 1, written.st_size - 1) != 1)
        last = '\n';
    ::close(reader);
    return last != '\n';
}

} // namespace

FileDestination::FileDestination()
    : FileDestination(defaultLogFilePath()) {}

FileDestination::FileDestination(const QString& logFilePath)
    : m_path(logFilePath) {
    queue().setBatchEndHandler([this] {
        std::lock_guard lock(m_fileMutex);
        writeBuffer();
    });
}

FileDestination::~FileDestination() {
    queue().setBatchEndHandler({});
    std::lock_guard lock(m_fileMutex);
    writeBuffer();
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
    writeBuffer();
    closeFile();
    m_path = path;
    m_writeFailed = false; // a failure at the old location says nothing about the new one
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
    writeBuffer();
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
        if (!m_path.isEmpty()) {
            appendLine(*line);
            if (!asynchronously() || m_buffer.size() >= 256 * 1024)
                writeBuffer();
        }
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

void FileDestination::refreshFileState() {
    struct stat info {};
    const QByteArray path = QFile::encodeName(m_path);
    if (::stat(path.constData(), &info) != 0) {
        closeFile(); // removed behind our back: the next write creates it again
        m_size = 0;
        return;
    }
    if (m_fd >= 0 && (info.st_dev != m_dev || info.st_ino != m_ino))
        closeFile(); // moved or replaced: write to the file at the path again
    m_size = qint64(info.st_size);
}

void FileDestination::appendLine(const QString& line) {
    // The file's attributes are read once per run of lines; the lines buffered
    // since are counted in m_size. Whether to rotate is decided on the size the file
    // really has once they are written: lines whose write failed never count.
    if (m_buffer.isEmpty())
        refreshFileState();
    if (logFileAmount() > 1 && m_size > logFileMaxSize()) {
        writeBuffer();
        refreshFileState();
        // After a failed write the file may end in a torn line and the disk may still be
        // full: rotating now would put that file into the history and delete the oldest
        // one for nothing. It is rotated once a write succeeds again.
        if (!m_writeFailed && m_size > logFileMaxSize()) {
            rotateFile();
            refreshFileState();
        }
    }
    const qsizetype before = m_buffer.size();
    m_buffer += line.toUtf8();
    m_buffer += '\n';
    m_size += m_buffer.size() - before;
}

void FileDestination::rotateFile() {
    closeFile();
    const int amount = logFileAmount();
    const QByteArray live = QFile::encodeName(m_path);
    auto numbered = [&](int i) { return QFile::encodeName(m_path + u'.' + QString::number(i)); };
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
                      .arg(m_path, QFile::decodeName(first), errnoText(errno)));
}

void FileDestination::writeBuffer() {
    if (m_buffer.isEmpty())
        return;
    QByteArray bytes = std::exchange(m_buffer, QByteArray());
    if (m_fd < 0) {
        // Creates the file when it is missing.
        const QByteArray path = QFile::encodeName(m_path);
        const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            m_writeFailed = true;
            printLine(QStringLiteral("validateSaveFile error: could not open %1: %2")
                          .arg(m_path, errnoText(errno)));
            printLine(QStringLiteral("File destination could not write to file ") + urlText());
            return;
        }
        struct stat opened {};
        if (::fstat(fd, &opened) == 0) {
            m_dev = opened.st_dev;
            m_ino = opened.st_ino;
        }
        m_fd = fd;
        // A write that failed part-way (a full disk) or a run that ended mid-write left a
        // fragment of a line: the next line starts on a line of its own. Every failed
        // write closes the file, so this is checked whenever one may have happened.
        if (endsInTornLine(fd, path))
            bytes.prepend('\n');
    }
    bool ok = writeAll(m_fd, bytes.constData(), bytes.size());
    int error = ok ? 0 : errno;
    if (ok && syncAfterEachWrite() && ::fsync(m_fd) != 0) {
        ok = false;
        error = errno;
    }
    m_writeFailed = !ok;
    if (!ok) {
        printLine(QStringLiteral("Failed writing file with error: ") + errnoText(error));
        printLine(QStringLiteral("File destination could not write to file ") + urlText());
        closeFile();
    }
}

} // namespace trevalin
