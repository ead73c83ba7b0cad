// LogCapture: a synchronous log destination that records every entry, for tests
// that check log lines. Registers itself on construction and removes itself on
// destruction.
#pragma once

#include "logging/BaseDestination.h"
#include "logging/Logger.h"

#include <QList>
#include <QString>

#include <memory>
#include <mutex>
#include <utility>

namespace trevalin::test {

class CaptureDestination : public BaseDestination {
public:
    CaptureDestination() { setAsynchronously(false); }

    std::optional<QString> send(const LogEntry& entry) override {
        std::lock_guard lock(m_mutex);
        m_lines.append({entry.level, entry.message});
        return entry.message;
    }

    QList<std::pair<Level, QString>> lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    void clear() {
        std::lock_guard lock(m_mutex);
        m_lines.clear();
    }

private:
    mutable std::mutex m_mutex;
    QList<std::pair<Level, QString>> m_lines;
};

class LogCapture {
public:
    LogCapture()
        : m_destination(std::make_shared<CaptureDestination>()) {
        Logger::addDestination(m_destination);
    }
    ~LogCapture() { Logger::removeDestination(m_destination); }

    QList<std::pair<Level, QString>> lines() const { return m_destination->lines(); }
    QStringList messages() const {
        QStringList out;
        for (const auto& line : lines())
            out << line.second;
        return out;
    }
    // Messages at exactly `level`.
    QStringList messages(Level level) const {
        QStringList out;
        for (const auto& line : lines())
            if (line.first == level)
                out << line.second;
        return out;
    }
    int countContaining(const QString& text) const {
        int n = 0;
        for (const auto& line : lines())
            n += line.second.contains(text) ? 1 : 0;
        return n;
    }
    void clear() { m_destination->clear(); }

private:
    std::shared_ptr<CaptureDestination> m_destination;
};

} // namespace trevalin::test
