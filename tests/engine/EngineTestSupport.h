// Helpers shared by the engine tests that drive real folders through the engine:
// the one-time set-up of persistence, flags and algorithms, files and folders made
// on disk, and a folder added the way the user adds one.
#pragma once

#include "engine/Engine.h"
#include "engine/EnginePool.h"
#include "engine/FlagStore.h"
#include "engine/Process.h"
#include "model/DigestState.h"
#include "store/Database.h"
#include "store/Debugging.h"

#include "model/ModelTestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

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

inline Location makeFolder(const QTemporaryDir& dir, const QString& name) {
    QDir().mkpath(dir.filePath(name));
    return Location(dir.filePath(name));
}

// Writes `data` to `name` in `dir`; an empty location when the file cannot be opened.
inline Location writeFile(const Location& dir, const QString& name, const QByteArray& data) {
    const Location location = dir.child(name);
    return writeFile(location.path(), data) ? location : Location();
}

// Adds `dir` as the user does and waits until every file in it is hashed.
inline void addAndSettle(const Location& dir) {
    QFuture<void> done = Process::added(dir);
    QVERIFY(QTest::qWaitFor([&] { return done.isFinished(); }, 20000));
    QVERIFY(EnginePool::waitForDone(20000));
}

} // namespace trevalin::test
