// Helpers shared by the logging tests: a destination that records what it
// renders, and a capture of standard output or standard error.
#pragma once

#include "logging/BaseDestination.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryFile>

#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <thread>

namespace trevalin::test {

// Records every rendered line and the thread that rendered it.
class RecordingDestination : public BaseDestination {
public:
    std::optional<QString> send(const LogEntry& entry) override {
        std::optional<QString> line = BaseDestination::send(entry);
        std::lock_guard lock(m_mutex);
        if (line)
            m_lines.append(*line);
        m_entries.append(entry);
        m_renderThreads.append(std::this_thread::get_id());
        return line;
    }
    QStringList lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    QList<LogEntry> entries() const {
        std::lock_guard lock(m_mutex);
        return m_entries;
    }
    std::thread::id lastRenderThread() const {
        std::lock_guard lock(m_mutex);
        return m_renderThreads.isEmpty() ? std::thread::id() : m_renderThreads.last();
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_lines;                    // guarded by m_mutex
    QList<LogEntry> m_entries;              // guarded by m_mutex
    QList<std::thread::id> m_renderThreads; // guarded by m_mutex
};

// Redirects a standard stream (fd 1 or 2) into a temporary file until text() is
// called or the capture ends.
class OutputCapture {
public:
    explicit OutputCapture(int fd = STDOUT_FILENO)
        : m_fd(fd) {
        std::fflush(stdout);
        std::fflush(stderr);
        m_file.open();
        m_saved = ::dup(m_fd);
        ::dup2(m_file.handle(), m_fd);
    }
    ~OutputCapture() { restore(); }
    QString text() {
        restore();
        QFile in(m_file.fileName());
        in.open(QIODevice::ReadOnly);
        return QString::fromUtf8(in.readAll());
    }

private:
    void restore() {
        if (m_saved < 0)
            return;
        std::fflush(stdout);
        std::fflush(stderr);
        ::dup2(m_saved, m_fd);
        ::close(m_saved);
        m_saved = -1;
    }
    int m_fd;
    int m_saved = -1;
    QTemporaryFile m_file;
};

inline LogEntry makeEntry(Level level, const QString& message, qint64 timeUs = 0) {
    LogEntry entry;
    entry.level = level;
    entry.message = message;
    entry.thread = QStringLiteral("worker");
    entry.file = QStringLiteral("/src/engine/Concurrency.swift");
    entry.function = QStringLiteral("triage()");
    entry.line = 42;
    entry.timeUs = timeUs;
    return entry;
}

} // namespace trevalin::test
