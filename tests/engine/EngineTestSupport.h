// Helpers shared by the engine tests that drive real folders through the engine:
// the one-time set-up of persistence, flags and algorithms, files and folders made
// on disk, a folder added the way the user adds one, and bit rot.
#pragma once

#include "engine/Engine.h"
#include "engine/EnginePool.h"
#include "engine/FlagStore.h"
#include "engine/Process.h"
#include "model/DigestState.h"
#include "store/Database.h"
#include "store/Debugging.h"

#include "model/ModelTestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

namespace trevalin::test {

// Every algorithm known, only `digests` enabled.
inline void enable(const QList<Digest>& digests) {
    QList<Digests> list;
    for (Digest d : kAllDigests)
        list.append(Digests::make(d, digests.contains(d)));
    DigestState::shared().setAlgorithms(list);
}

// The engine started with persistence wired and flags initialised (monitoring is not
// wired: a test that wants it asks Engine::start() for it), debugging off, only SHA1
// enabled.
inline void setUpEngine() {
    Engine::start({.persistence = true, .flags = true});
    Debugging::setFlagForTesting(false);
    enable({Digest::SHA1});
}

inline bool processed(const Location& location) {
    const FileObjectPtr record = Database::shared().record(location);
    return record && record->status() == FileState::Processed;
}

// Qt's SHA1 of `data`, and the SHA1 stored for `location` (empty when there is none).
inline QString sha1(const QByteArray& data) {
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
}
inline QString storedSha1(const Location& location) {
    const FileObjectPtr record = Database::shared().record(location);
    return record ? record->checksum(Digest::SHA1).value_or(Checksum()).value : QString();
}

inline Location makeFolder(const QTemporaryDir& dir, const QString& name) {
    QDir().mkpath(dir.filePath(name));
    return Location(dir.filePath(name));
}

// Writes `data` to `name` in `dir`; an empty location when the file cannot be opened.
inline Location writeFile(const Location& dir, const QString& name, const QByteArray& data) {
    const Location location = dir.child(name);
    return writeFile(location.path(), data) ? location : Location();
}

// Adds `locations` as the user does and waits until every file is hashed.
inline void addAndSettle(const QList<Location>& locations) {
    QFuture<void> done = Process::added(locations);
    QVERIFY(QTest::qWaitFor([&] { return done.isFinished(); }, 20000));
    QVERIFY(EnginePool::waitForDone(20000));
}

// Bit rot: one byte of `path` flipped in place, its size and times left as they were.
inline bool rot(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat before {};
    QFile file(path);
    char byte = 0;
    if (::stat(name.constData(), &before) != 0 || !file.open(QIODevice::ReadWrite) || !file.seek(1000) ||
        !file.getChar(&byte) || !file.seek(1000) || !file.putChar(char(~byte)))
        return false;
    file.close();
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    return ::utimensat(AT_FDCWD, name.constData(), times, 0) == 0;
}

} // namespace trevalin::test
