// The log capture every test uses. RecordingDestination keeps each entry it is
// given and the line it renders. LogRecorder registers a synchronous
// RecordingDestination that takes every level and renders "LEVEL: message", for its
// own lifetime. Both may be used from any thread.
#pragma once

#include "logging/BaseDestination.h"
#include "logging/Logger.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <memory>
#include <mutex>
#include <utility>

namespace trevalin::test {

class RecordingDestination : public BaseDestination {
public:
    std::optional<QString> send(const LogEntry& entry) override {
        std::optional<QString> line = BaseDestination::send(entry);
        std::lock_guard lock(m_mutex);
        if (line)
            m_lines.append(*line);
        m_entries.append(entry);
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
    void clear() {
        std::lock_guard lock(m_mutex);
        m_lines.clear();
        m_entries.clear();
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_lines;       // guarded by m_mutex
    QList<LogEntry> m_entries; // guarded by m_mutex
};

class LogRecorder {
public:
    LogRecorder()
        : m_destination(std::make_shared<RecordingDestination>()) {
        m_destination->setFormat(QStringLiteral("$L: $M"));
        m_destination->setAsynchronously(false);
        m_destination->setMinLevel(Level::Verbose);
        Logger::addDestination(m_destination);
    }
    ~LogRecorder() { Logger::removeDestination(m_destination); }
    LogRecorder(const LogRecorder&) = delete;
    LogRecorder& operator=(const LogRecorder&) = delete;

    // Every line as "LEVEL: message".
    QStringList lines() const { return m_destination->lines(); }
    QList<std::pair<Level, QString>> entries() const {
        QList<std::pair<Level, QString>> out;
        for (const LogEntry& entry : m_destination->entries())
            out.append({entry.level, entry.message});
        return out;
    }
    QStringList messages() const {
        return collect([](Level) { return true; });
    }
    // The messages logged at exactly `level`.
    QStringList messages(Level level) const {
        return collect([level](Level l) { return l == level; });
    }
    bool has(Level level, const QString& message) const { return entries().contains({level, message}); }
    // Whether exactly this "LEVEL: message" line was logged.
    bool has(const QString& line) const { return lines().contains(line); }
    bool hasPrefix(const QString& prefix) const {
        const QStringList all = lines();
        return std::any_of(all.cbegin(), all.cend(), [&](const QString& l) { return l.startsWith(prefix); });
    }
    // How many messages contain `text`.
    int countContaining(const QString& text) const { return int(messages().filter(text).size()); }
    void clear() { m_destination->clear(); }

private:
    template <typename Keep> QStringList collect(Keep keep) const {
        QStringList out;
        for (const LogEntry& entry : m_destination->entries())
            if (keep(entry.level))
                out.append(entry.message);
        return out;
    }
    std::shared_ptr<RecordingDestination> m_destination;
};

} // namespace trevalin::test
