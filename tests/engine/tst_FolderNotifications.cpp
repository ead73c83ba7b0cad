// Folder monitoring with real inotify watches, from start-up completion to cease(),
// with folders that leave, come back or cannot be watched, and a burst of files.
#include "engine/Engine.h"
#include "engine/FileSystemNotifier.h"
#include "engine/FolderNotifications.h"
#include "engine/Timing.h"
#include "engine/WatchThread.h"
#include "store/CoreDatabase.h"
#include "store/LocationState.h"

#include "EngineTestSupport.h"
#include "TestMain.h"

#include <cerrno>
#include <chrono>
#include <mutex>

using namespace trevalin;
using namespace std::chrono_literals;
using namespace trevalin::test;

namespace {

// Counts the passes that begin and the most that ever ran at once (each test watches
// one folder at a time). The counts are shared with the hook, so a pass still ending
// after the test is safe.
class PassCounter {
public:
    PassCounter() {
        FolderNotifications::shared().setPassHookForTesting([state = m_state](const Location&, bool begins) {
            std::lock_guard lock(state->mutex);
            if (begins) {
                ++state->passes;
                state->most = std::max(state->most, ++state->running);
            } else {
                --state->running;
            }
        });
    }
    ~PassCounter() { FolderNotifications::shared().setPassHookForTesting(nullptr); }
    int passes() const {
        std::lock_guard lock(m_state->mutex);
        return m_state->passes;
    }
    int mostAtOnce() const {
        std::lock_guard lock(m_state->mutex);
        return m_state->most;
    }

private:
    struct State {
        std::mutex mutex;
        int passes = 0, running = 0, most = 0; // guarded by mutex
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace

class FolderNotificationsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    FolderNotifications& notifications = FolderNotifications::shared();

    Location folder(const QString& name) { return makeFolder(*m_dir, name); }
    // A stored, monitored folder with `files` hashed files.
    Location monitoredFolder(const QString& name, int files) {
        const Location dir = folder(name);
        for (int i = 0; i < files; ++i)
            writeFile(dir, QStringLiteral("f%1.txt").arg(i), QByteArray::number(i));
        addAndSettle({dir});
        CoreDatabase::setMonitored(dir, true);
        return dir;
    }
    bool watching(const Location& dir) const {
        const auto notifier = notifications.notifier(dir);
        return notifier && notifier->state() == FileSystemNotifier::State::Watching;
    }
    void startWatching(const Location& dir) {
        notifications.monitor(dir);
        QTRY_VERIFY(watching(dir));
    }

private slots:
    void initTestCase() {
        setUpEngine();
        Timing::setForTesting(50ms, 50ms, 50ms);
    }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup() {
        notifications.cease();
        QVERIFY(EnginePool::waitForDone(20000));
        for (const Location& dir : CoreDatabase::monitoredFolders())
            CoreDatabase::setMonitored(dir, false);
        Debugging::setFlagForTesting(false);
        m_dir.reset();
    }

    // Runs first: start-up completion starts the watch of every monitored folder, and
    // of no other, and its clean-up re-evaluates every stored folder.
    void startupCompletionStartsMonitoringOfEveryMonitoredFolder() {
        const Location a = monitoredFolder("a", 1);
        const Location b = monitoredFolder("b", 1);
        addAndSettle({folder("c")}); // stored, not monitored
        LogRecorder log;
        Engine::start({.monitoring = true});
        FlagStore::shared().set(SubSystem::database, Flag::ready, true);
        FlagStore::shared().set(SubSystem::bookmarks, Flag::ready, true);
        QTRY_VERIFY(watching(a) && watching(b));
        QCOMPARE(notifications.locations(), (QList<Location>{a, b}));
        QTRY_VERIFY(log.countContaining("[ Process.triageAll() ]") > 0);
        QVERIFY(EnginePool::waitForDone(20000));
    }

    // A created file, an edit in place (no entry created, removed or renamed) and a
    // deleted file each start a pass that brings the records up to date.
    void createdAppendedAndDeletedFilesStartPasses() {
        const Location dir = monitoredFolder("live", 2);
        const Location f0 = dir.child("f0.txt"), f1 = dir.child("f1.txt");
        startWatching(dir);
        const Location created = writeFile(dir, "new.txt", "created while watched");
        QTRY_VERIFY_WITH_TIMEOUT(processed(created) && !notifications.passActive(dir), 10000);
        QVERIFY(EnginePool::waitForDone(20000));

        // One change at a time: a pass any other event started would see the edit too.
        QFile edit(f1.path());
        QVERIFY(edit.open(QIODevice::Append) && edit.write(" and more") == 9);
        edit.close();
        QTRY_COMPARE_WITH_TIMEOUT(storedSha1(f1), sha1("1 and more"), 10000);
        QVERIFY(QFile::remove(f0.path()));
        QTRY_VERIFY_WITH_TIMEOUT(!Database::shared().record(f0), 10000);
    }

    // A monitored folder that leaves its path is waited for through its nearest
    // existing ancestor; once a folder is there again it is watched again and what it
    // holds is recorded. Moved away in one step, as when its volume is unmounted, its
    // records stay (deleting its files one by one would rightly remove them).
    void aFolderThatComesBackIsWatchedAgain_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("deleted") << "deleted";
        QTest::newRow("moved away") << "moved";
        QTest::newRow("deleted with its parent") << "parent";
    }
    void aFolderThatComesBackIsWatchedAgain() {
        QFETCH(QString, how);
        const Location dir = monitoredFolder(
            QString::fromLatin1(how == QLatin1String("parent") ? "outer/inner" : "returning"), 1);
        PassCounter counter;
        startWatching(dir);
        LogRecorder log;
        if (how == QLatin1String("moved"))
            QVERIFY(QDir().rename(dir.path(), m_dir->filePath(QStringLiteral("away"))));
        else
            QVERIFY(
                QDir(how == QLatin1String("parent") ? dir.parent().path() : dir.path()).removeRecursively());
        QTRY_VERIFY(!WatchThread::shared().isWatched(dir));
        QTRY_COMPARE(
            log.countContaining("Monitored folder is missing from its path; waiting for it to return: " +
                                dir.path() + " [ FileSystemNotifier.init(_:) ]"),
            1);
        QVERIFY(watching(dir)); // the notifier still holds the folder
        if (how == QLatin1String("moved")) {
            // Its leaving started a pass over the path where it no longer is.
            QTRY_VERIFY_WITH_TIMEOUT(counter.passes() >= 1 && !notifications.passActive(dir), 10000);
            QVERIFY(EnginePool::waitForDone(20000));
            QVERIFY(Database::shared().record(dir.child("f0.txt")));
        }

        QVERIFY(QDir().mkpath(dir.path()));
        const Location created = writeFile(dir, "back.txt", "after the return");
        QTRY_VERIFY_WITH_TIMEOUT(processed(created), 10000);
        QVERIFY(WatchThread::shared().isWatched(dir));
        QCOMPARE(log.countContaining("Filesystem event notifications registered for: " + dir.path()), 1);
        // And the watch is the folder's own again: a later file is seen too.
        const Location later = writeFile(dir, "later.txt", "seen");
        QTRY_VERIFY_WITH_TIMEOUT(processed(later), 10000);
    }

    void aFolderThatCannotBeWatchedIsReportedAndTheOthersWork_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expected"); // the warning, before its tag
        const QString unable = "Unable to watch monitored folder: %1 (";
        QTest::newRow("missing, no access") << "missing"
                                            << "Failed to open access to monitored folder: %1";
        QTest::newRow("missing, access recorded earlier") << "gone" << unable + "the folder does not exist)";
        QTest::newRow("a file, not a folder") << "file" << unable + "the location is not a folder)";
        QFile limit("/proc/sys/fs/inotify/max_user_watches");
        const QString watches = limit.open(QIODevice::ReadOnly)
                                    ? " = " + QString::fromLatin1(limit.readAll()).trimmed()
                                    : QString();
        QTest::newRow("the inotify watch limit reached")
            << "limit"
            << unable + "the inotify watch limit is reached (fs.inotify.max_user_watches" + watches + "))";
    }
    void aFolderThatCannotBeWatchedIsReportedAndTheOthersWork() {
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        Location bad(m_dir->filePath(QStringLiteral("bad")));
        if (kind == QLatin1String("gone"))
            LocationState::shared().set(bad, true);
        else if (kind == QLatin1String("file"))
            bad = writeFile(Location(m_dir->path()), QStringLiteral("plain.txt"), "x");
        else if (kind == QLatin1String("limit"))
            bad = folder("bad");
        // inotify_add_watch answers ENOSPC for that folder only.
        WatchThread::shared().setAddFailureForTesting(
            [bad](const QString& path) { return path == bad.path() ? ENOSPC : 0; });
        const Location good = monitoredFolder("good", 0);
        LogRecorder log;
        notifications.monitor(bad);
        startWatching(good);
        const auto notifier = notifications.notifier(bad);
        QTRY_COMPARE(int(notifier->state()), int(FileSystemNotifier::State::Failed));
        WatchThread::shared().setAddFailureForTesting({});
        QCOMPARE(
            log.messages(Level::Warning).count(expected.arg(bad.path()) + " [ FileSystemNotifier.init(_:) ]"),
            1);
        QVERIFY(!notifier->hasSource());

        const Location created = writeFile(good, "still.txt", "works");
        QTRY_VERIFY_WITH_TIMEOUT(processed(created), 10000);

        notifications.remove(bad); // a notifier that never watched stops too
        QVERIFY(!notifications.notifier(bad));
        LocationState::shared().remove(bad);
    }

    // Monitoring a folder again replaces its notifier and keeps one watch; remove()
    // stops it; cease() stops every watch.
    void aWatchIsReplacedRemovedAndCeased() {
        const Location dir = monitoredFolder("again", 0);
        const Location witness = monitoredFolder("witness", 0);
        startWatching(dir);
        const auto first = notifications.notifier(dir);
        startWatching(dir);
        QVERIFY(notifications.notifier(dir) != first);
        QCOMPARE(int(first->state()), int(FileSystemNotifier::State::Stopped));
        QCOMPARE(notifications.locations(), QList<Location>{dir});
        const Location created = writeFile(dir, "seen.txt", "by the new notifier");
        QTRY_VERIFY_WITH_TIMEOUT(processed(created) && !notifications.passActive(dir), 10000);
        QVERIFY(EnginePool::waitForDone(20000));

        notifications.remove(dir);
        QVERIFY(!notifications.notifier(dir) && !WatchThread::shared().isWatched(dir));

        startWatching(dir);
        startWatching(witness);
        notifications.cease();
        QVERIFY(notifications.locations().isEmpty());
        QVERIFY(!WatchThread::shared().isWatched(dir) && !WatchThread::shared().isWatched(witness));
    }

    void aBurstOfAThousandFilesIsCoalesced() {
        const Location dir = monitoredFolder("burst", 0);
        PassCounter counter;
        startWatching(dir);
        QList<Location> files;
        for (int i = 0; i < 1000; ++i)
            files.append(writeFile(dir, QStringLiteral("b%1.dat").arg(i, 4, 10, QLatin1Char('0')),
                                   QByteArray::number(i * 7919)));
        QTRY_VERIFY_WITH_TIMEOUT(
            std::all_of(files.cbegin(), files.cend(), [](const Location& f) { return processed(f); }), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!notifications.passActive(dir), 10000);
        QCOMPARE(counter.mostAtOnce(), 1);
        QVERIFY2(counter.passes() < 100, qPrintable(QString::number(counter.passes())));
        QCOMPARE(int(Database::shared().files(dir).size()), 1000);
    }
};

TREVALIN_TEST_MAIN(FolderNotificationsTest)
#include "tst_FolderNotifications.moc"
