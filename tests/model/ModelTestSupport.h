// Helpers shared by the model and settings tests: a log recorder, file makers and a
// way to run a check as an unprivileged user.
#pragma once

#include "logging/BaseDestination.h"
#include "logging/Logger.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace trevalin::test {

// Installs itself as a synchronous destination for its lifetime and keeps every entry.
class LogRecorder {
    class Destination : public BaseDestination {
    public:
        std::optional<QString> send(const LogEntry& entry) override {
            std::lock_guard lock(mutex);
            entries.append({entry.level, entry.message});
            return entry.message;
        }
        std::mutex mutex;
        QList<std::pair<Level, QString>> entries; // guarded by mutex
    };

public:
    LogRecorder()
        : m_destination(std::make_shared<Destination>()) {
        m_destination->setAsynchronously(false);
        m_destination->setMinLevel(Level::Verbose);
        Logger::addDestination(m_destination);
    }
    ~LogRecorder() { Logger::removeDestination(m_destination); }

    QList<std::pair<Level, QString>> entries() const {
        Logger::flush(5);
        std::lock_guard lock(m_destination->mutex);
        return m_destination->entries;
    }
    QStringList messages() const {
        QStringList result;
        for (const auto& entry : entries())
            result.append(entry.second);
        return result;
    }
    // Whether a line with exactly this level and text was logged.
    bool has(Level level, const QString& message) const { return entries().contains({level, message}); }
    void clear() {
        std::lock_guard lock(m_destination->mutex);
        m_destination->entries.clear();
    }

private:
    std::shared_ptr<Destination> m_destination;
};

inline bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(data) == data.size();
}

// Runs `check` in a forked child that has dropped root privileges (uid/gid 65534), so
// that permission bits are enforced. Returns the child's exit status (check's result),
// or -1 when the child could not be made. Without root, runs `check` directly.
inline int runUnprivileged(const std::function<int()>& check) {
    if (::geteuid() != 0)
        return check();
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(99);
        ::_exit(check());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace trevalin::test

// QCOMPARE for the program's enumerations: their toString() returns a QString, which
// QTest's own toString() lookup cannot use, so they are compared as integers.
#define TCOMPARE_ENUM(actual, expected) QCOMPARE(int(actual), int(expected))
