// Helpers shared by the tests of every area: the log recorder, file reading and
// writing, and a way to run a check as an unprivileged user.
#pragma once

#include "LogRecorder.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace trevalin::test {

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

inline bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(data) == data.size();
}

// Runs `check` in a forked child that has dropped root privileges (uid/gid 65534), so
// that permission bits are enforced. Returns the child's exit status (check's result),
// or -1 when the child could not be made or did not end by itself within 20 s. Without
// root, runs `check` directly.
inline int runUnprivileged(const std::function<int()>& check) {
    if (::geteuid() != 0)
        return check();
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        // A check that deadlocks in the child (on a lock some other thread of the parent
        // held at fork) ends with the alarm and counts as a failure.
        ::alarm(20);
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
