// FileDestination: appends each rendered line and a line feed to a log file,
// creating the file when it is missing and rotating it by size. The file is kept
// open between writes; it is reopened when it was moved or removed meanwhile, so
// every line lands in the file at the configured location.
//
// Lines rendered in one run of the destination's queue are appended with one
// write at the end of that run (a synchronous destination writes every line at
// once). A line counts as sent for Logger::flush only once it is in the file.
//
// Rotation (only when logFileAmount > 1): before a line is written, if the live
// file is larger than logFileMaxSize, "<file>.<amount-1>" is deleted, each older
// "<file>.<i>" becomes "<file>.<i+1>", and the live file becomes "<file>.1". The
// size is the one the file has on disk, so lines whose write failed never count;
// while writes fail (a full disk) the live file is not rotated at all.
//
// A failed or short write closes the file. When it is opened again and does not
// end with a line feed (a torn line), the next write starts with one, so every
// line begins on a line of its own.
//
// Thread-safety: all members may be called from any thread; the file state is
// guarded by an internal mutex and lines are written on the destination's queue.
#pragma once

#include "logging/BaseDestination.h"

#include <QUrl>

#include <sys/types.h>

namespace trevalin {

class FileDestination : public BaseDestination {
public:
    static constexpr qint64 defaultMaxSize = 5 * 1024 * 1024;

    // Logs to defaultLogFilePath().
    FileDestination();
    // Logs to the given path; an empty path writes nothing.
    explicit FileDestination(const QString& logFilePath);
    ~FileDestination() override;

    QString logFilePath() const;
    void setLogFilePath(const QString& path);
    // The same location as a file URL; an empty URL writes nothing.
    QUrl logFileURL() const;
    void setLogFileURL(const QUrl& url);

    bool syncAfterEachWrite() const { return m_syncAfterEachWrite.load(std::memory_order_relaxed); }
    void setSyncAfterEachWrite(bool value) { m_syncAfterEachWrite.store(value, std::memory_order_relaxed); }

    bool colored() const { return m_colored.load(std::memory_order_relaxed); }
    // True: the terminal escape codes of ConsoleDestination. False: no colours.
    void setColored(bool value);

    qint64 logFileMaxSize() const { return m_logFileMaxSize.load(std::memory_order_relaxed); }
    void setLogFileMaxSize(qint64 bytes) { m_logFileMaxSize.store(bytes, std::memory_order_relaxed); }
    int logFileAmount() const { return m_logFileAmount.load(std::memory_order_relaxed); }
    void setLogFileAmount(int amount) { m_logFileAmount.store(amount, std::memory_order_relaxed); }

    // Removes the log file; returns whether it is gone. Lines still queued create
    // it again.
    bool deleteLogFile();

    std::optional<QString> send(const LogEntry& entry) override;

    // "logger.log" in the user's cache folder, inside a sub-folder named after the
    // executable (created when missing; without it, directly in the cache folder).
    static QString defaultLogFilePath();

private:
    // Each of these runs with m_fileMutex held.
    void appendLine(const QString& line);
    void writeBuffer();
    void refreshFileState();
    void rotateFile();
    void closeFile();
    QString urlText() const;

    std::atomic<bool> m_syncAfterEachWrite{false};
    std::atomic<bool> m_colored{false};
    std::atomic<qint64> m_logFileMaxSize{defaultMaxSize};
    std::atomic<int> m_logFileAmount{1};

    mutable std::mutex m_fileMutex;
    QString m_path;  // guarded by m_fileMutex
    int m_fd = -1;   // guarded by m_fileMutex; the open live file or -1
    dev_t m_dev = 0; // guarded by m_fileMutex; identity of the open file
    ino_t m_ino = 0; // guarded by m_fileMutex
    // Lines not yet written, and the size the live file has once they are.
    QByteArray m_buffer; // guarded by m_fileMutex
    qint64 m_size = 0;   // guarded by m_fileMutex
    // The last write (or open) failed; the live file may end in a torn line.
    bool m_writeFailed = false; // guarded by m_fileMutex
};

} // namespace trevalin
