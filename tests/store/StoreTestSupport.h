// Helpers shared by the store tests: a log destination that keeps every line as
// "LEVEL: message", file reading and writing, a property-list wrapper, and small
// builders of records.
#pragma once

#include "logging/BaseDestination.h"
#include "logging/Logger.h"
#include "model/FileObject.h"

#include <QFile>
#include <QStringList>
#include <QTest>

#include <cstring>
#include <memory>
#include <mutex>

namespace trevalin::test {

class LogCapture : public BaseDestination {
public:
    LogCapture() {
        setFormat(QStringLiteral("$L: $M"));
        setAsynchronously(false);
        setMinLevel(Level::Verbose);
    }
    std::optional<QString> send(const LogEntry& entry) override {
        std::optional<QString> line = BaseDestination::send(entry);
        std::lock_guard lock(m_mutex);
        if (line)
            m_lines.append(*line);
        return line;
    }
    QStringList lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    bool has(const QString& line) const { return lines().contains(line); }
    bool hasPrefix(const QString& prefix) const {
        for (const QString& line : lines())
            if (line.startsWith(prefix))
                return true;
        return false;
    }
    void clear() {
        std::lock_guard lock(m_mutex);
        m_lines.clear();
    }

    // Registers a fresh capture with the logger for the lifetime of the returned pointer's owner.
    static std::shared_ptr<LogCapture> install() {
        Logger::removeAllDestinations();
        auto capture = std::make_shared<LogCapture>();
        Logger::addDestination(capture);
        return capture;
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_lines; // guarded by m_mutex
};

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

inline void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// True when both doubles have the same bit pattern (tells -0.0 from 0.0, keeps NaN payloads).
inline bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A complete XML property-list document around `root`.
inline QByteArray plistDocument(const QByteArray& root) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + root + "</plist>\n";
}

// A record for `path` with the given size and checksums, without touching the disk.
inline FileObjectPtr makeRecord(const QString& path, quint64 bytes = 0, QList<Checksum> checksums = {}) {
    const Location location(path);
    FileObjectData d;
    d.identifier = QUuid::createUuid();
    d.location = location;
    d.path = location.path();
    d.directory = location.directory();
    d.name = location.fileName();
    d.suffix = location.suffix();
    d.prefix = FileObject::prefixFor(d.name, d.suffix);
    d.bytes = bytes;
    d.created = 1700000000.123456789;
    d.modified = 1700000123.987654321;
    d.status = FileState::Processed;
    d.checksums = checksums;
    d.bookmarked = false;
    return FileObject::fromData(d);
}

} // namespace trevalin::test
