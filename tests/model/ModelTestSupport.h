// Helpers shared by the tests of every area: the log recorder, file reading and
// writing, and a way to run a check as an unprivileged user.
#pragma once

#include "LogRecorder.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

#include <functional>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace trevalin::test {

// The file's bytes; empty when it cannot be read.
inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(data) == data.size();
}

// Makes at `target` an entry of `kind` that is not a readable regular file: "missing"
// (nothing), "dangling link", "unreadable", "folder", "fifo" or "link to folder".
inline bool makeOddEntry(const QString& kind, const QString& target) {
    const QByteArray name = QFile::encodeName(target);
    if (kind == u"dangling link")
        return QFile::link(target + QStringLiteral(".nowhere"), target);
    if (kind == u"unreadable")
        return writeFile(target, "hidden") && ::chmod(name.constData(), 0000) == 0;
    if (kind == u"fifo")
        return ::mkfifo(name.constData(), 0644) == 0;
    if (kind == u"link to folder")
        return QDir().mkpath(target + QStringLiteral(".linked")) &&
               QFile::link(target + QStringLiteral(".linked"), target);
    return kind != u"folder" || QDir().mkpath(target);
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

// The copies of `path` that were set aside as unreadable ("<name>.corrupt-..."), oldest
// first.
inline QStringList asideCopies(const QString& path) {
    const QFileInfo info(path);
    QStringList names = info.dir().entryList({info.fileName() + QStringLiteral(".corrupt-*")}, QDir::Files,
                                             QDir::Time | QDir::Reversed);
    for (QString& name : names)
        name = info.dir().filePath(name);
    return names;
}

// Runs the current test function (and data row) again in a new process of this test
// executable as an unprivileged user (uid/gid 65534), so that permission bits are
// enforced; for tests whose code starts threads, which a forked child cannot. Returns
// the child's exit status, 77 when the executable could not be started as that user,
// or -1 when it did not end within a minute. Root only.
inline int rerunUnprivileged(QString* output) {
    QString function = QString::fromLatin1(QTest::currentTestFunction());
    if (QTest::currentDataTag())
        function += u':' + QString::fromLocal8Bit(QTest::currentDataTag());
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setChildProcessModifier([] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(77);
    });
    child.start(QCoreApplication::applicationFilePath(), {function});
    if (!child.waitForStarted(10000))
        return 77;
    const bool ended = child.waitForFinished(60000);
    *output = QString::fromLocal8Bit(child.readAll());
    if (!ended) {
        child.kill();
        child.waitForFinished();
        return -1;
    }
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

} // namespace trevalin::test

// As root, runs the current test function again as an unprivileged user and returns
// with its result; without root, goes on with the body.
#define TREVALIN_RUN_UNPRIVILEGED()                                                                          \
    do {                                                                                                     \
        if (::geteuid() == 0) {                                                                              \
            QString childOutput;                                                                             \
            const int childStatus = ::trevalin::test::rerunUnprivileged(&childOutput);                       \
            if (childStatus == 77)                                                                           \
                QSKIP("this test executable cannot be started as an unprivileged user here");                \
            QVERIFY2(childStatus == 0, qPrintable(childOutput));                                             \
            return;                                                                                          \
        }                                                                                                    \
    } while (false)

// QCOMPARE for the program's enumerations: their toString() returns a QString, which
// QTest's own toString() lookup cannot use, so they are compared as integers.
#define TCOMPARE_ENUM(actual, expected) QCOMPARE(int(actual), int(expected))
