// Helpers shared by the logging tests: the recording destination and file
// helpers, a capture of standard output or standard error, and an entry maker.
#pragma once

#include "model/ModelTestSupport.h"

#include <QFile>
#include <QTemporaryFile>

#include <unistd.h>

#include <cstdio>

namespace trevalin::test {

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
    return {.level = level,
            .message = message,
            .thread = QStringLiteral("worker"),
            .file = QStringLiteral("/src/engine/Concurrency.swift"),
            .function = QStringLiteral("triage()"),
            .line = 42,
            .context = {},
            .timeUs = timeUs};
}

} // namespace trevalin::test
