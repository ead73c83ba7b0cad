// Tests of folder monitoring with real inotify watches on real folders: start-up
// with and without monitored folders (through start-up completion), events that
// start passes, files created and deleted, a tracked file appended to in place, a
// monitored folder that vanishes from its path (its records stay) and one that comes
// back (watched again), folders that cannot be watched (also for the inotify watch
// limit) while the others keep working, remove() and cease() and their lines, and a
// burst of a thousand files that all get records while at most one pass per folder
// runs at a time.
#include "engine/Engine.h"
#include "engine/FileSystemNotifier.h"
#include "engine/FolderNotifications.h"
#include "engine/Global.h"
#include "engine/SafeQueue.h"
#include "engine/Timing.h"
#include "engine/WatchThread.h"
#include "store/CoreDatabase.h"
#include "store/LocationState.h"

#include "EngineTestSupport.h"
#include "LogRecorder.h"
#include "TestMain.h"

#include <QCryptographicHash>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>

using namespace trevalin;
using namespace std::chrono_literals;
using namespace trevalin::test;

namespace {

// Counts passes per folder and the most that ever ran at once for one folder. The
// counts are shared with the hook, so a pass still ending after the test is safe.
class PassCounter {
public:
    PassCounter()
        : m_state(std::make_shared<State>()) {
        FolderNotifications::shared().setPassHookForTesting(
            [state = m_state](const Location& folder, bool begins) {
                std::lock_guard lock(state->mutex);
                int& running = state->running[folder];
                if (begins) {
                    ++state->passes[folder];
                    state->most = std::max(state->most, ++running);
                } else {
                    --running;
                }
            });
    }
    ~PassCounter() { FolderNotifications::shared().setPassHookForTesting(nullptr); }
    int passes(const Location& folder) const {
        std::lock_guard lock(m_state->mutex);
        return m_state->passes.value(folder);
    }
    int mostAtOnce() const {
        std::lock_guard lock(m_state->mutex);
        return m_state->most;
    }

private:
    struct State {
        std::mutex mutex;
        QHash<Location, int> passes;  // guarded by mutex
        QHash<Location, int> running; // guarded by mutex
        int most = 0;                 // guarded by mutex
    };
    std::shared_ptr<State> m_state;
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
        addAndSettle(dir);
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

    // Runs first, while nothing is monitored.
    void registerWithNoMonitoredFolders_data() {
        QTest::addColumn<bool>("debugging");
        QTest::newRow("debugging on") << true;
        QTest::newRow("debugging off") << false;
    }
    void registerWithNoMonitoredFolders() {
        QFETCH(bool, debugging);
        Debugging::setFlagForTesting(debugging);
        LogRecorder log;
        notifications.registerAll();
        QVERIFY(notifications.locations().isEmpty());
        QCOMPARE(log.countContaining("Filesystem folder monitoring NOT started; no monitored locations "
                                     "[ FolderNotifications.register() ]"),
                 debugging ? 1 : 0);
        QCOMPARE(log.countContaining("Initiating file system folder monitoring"), 0);
    }

    void startupCompletionStartsMonitoringOfEveryMonitoredFolder() {
        const Location a = monitoredFolder("a", 1);
        const Location b = monitoredFolder("b", 1);
        const Location unmonitored = folder("c");
        LogRecorder log;
        Engine::start({.monitoring = true});
        FlagStore::shared().set(SubSystem::database, Flag::ready, true);
        FlagStore::shared().set(SubSystem::bookmarks, Flag::ready, true);
        QTRY_VERIFY(watching(a) && watching(b));
        QCOMPARE(notifications.locations(), (QList<Location>{a, b}));
        QVERIFY(!notifications.notifier(unmonitored));
        QCOMPARE(log.countContaining(
                     "Initiating file system folder monitoring [ FolderNotifications.register() ]"),
                 1);
        for (const Location& dir : {a, b})
            QCOMPARE(log.countContaining("Filesystem event notifications registered for: " + dir.path() +
                                         " [ FileSystemNotifier.init(_:) ]"),
                     1);
        // The clean-up that start-up completion runs re-evaluates every stored folder.
        QTRY_VERIFY(log.countContaining("[ Process.triageAll() ]") > 0);
        QVERIFY(EnginePool::waitForDone(20000));
    }

    void createdAndDeletedFilesStartPasses() {
        Debugging::setFlagForTesting(true);
        const Location dir = monitoredFolder("live", 2);
        LogRecorder log;
        PassCounter counter;
        startWatching(dir);
        QCOMPARE(log.countContaining("Starting filesystem event notifier for: " + dir.path() +
                                     " [ FileSystemNotifier.init(_:) ]"),
                 1);
        const Location created = writeFile(dir, "new.txt", "created while watched");
        QTRY_VERIFY_WITH_TIMEOUT(processed(created), 10000);
        QVERIFY(counter.passes(dir) >= 1);

        const Location f0 = dir.child("f0.txt");
        const int before = counter.passes(dir);
        QVERIFY(QFile::remove(f0.path()));
        QTRY_VERIFY_WITH_TIMEOUT(!Database::shared().record(f0), 10000);
        QVERIFY(counter.passes(dir) > before);
        QVERIFY(Database::shared().record(dir.child("f1.txt")));
    }

    // An edit in place (no entry created, removed or renamed) is seen, and the file
    // hashed again: its size and modification time no longer match its record.
    void anInPlaceAppendIsSeenAndHashedAgain() {
        const Location dir = monitoredFolder("edited", 2);
        const Location file = dir.child("f0.txt");
        const FileObjectPtr before = Database::shared().record(file);
        QVERIFY(before);
        startWatching(dir);
        QFile edit(file.path());
        QVERIFY(edit.open(QIODevice::Append));
        QCOMPARE(edit.write(" and more"), qint64(9));
        edit.close();
        const QString expected =
            QString::fromLatin1(QCryptographicHash::hash("0 and more", QCryptographicHash::Sha1).toHex());
        const auto stored = [&] {
            const FileObjectPtr record = Database::shared().record(file);
            const std::optional<Checksum> digest = record ? record->checksum(Digest::SHA1) : std::nullopt;
            return digest ? digest->value : QString();
        };
        QTRY_COMPARE_WITH_TIMEOUT(stored(), expected, 10000);
        const FileObjectPtr after = Database::shared().record(file);
        QCOMPARE(after->bytes(), before->bytes() + 9);
        QVERIFY(after->modified() >= before->modified());
        QVERIFY(processed(file));
    }

    // A monitored folder that leaves its path is waited for through its nearest
    // existing ancestor; once a folder is there again it is watched again and what it
    // holds is recorded.
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
        startWatching(dir);
        LogRecorder log;
        if (how == QLatin1String("moved"))
            QVERIFY(QDir().rename(dir.path(), m_dir->filePath(QStringLiteral("away"))));
        else if (how == QLatin1String("parent"))
            QVERIFY(QDir(dir.parent().path()).removeRecursively());
        else
            QVERIFY(QDir(dir.path()).removeRecursively());
        QTRY_VERIFY(!WatchThread::shared().isWatched(dir));
        QTRY_COMPARE(
            log.countContaining("Monitored folder is missing from its path; waiting for it to return: " +
                                dir.path() + " [ FileSystemNotifier.init(_:) ]"),
            1);
        QVERIFY(watching(dir)); // the notifier still holds the folder

        QVERIFY(QDir().mkpath(dir.path()));
        const Location created = writeFile(dir, "back.txt", "after the return");
        QTRY_VERIFY_WITH_TIMEOUT(processed(created), 10000);
        QVERIFY(WatchThread::shared().isWatched(dir));
        QCOMPARE(log.countContaining("Filesystem event notifications registered for: " + dir.path()), 1);
        // And the watch is the folder's own again: a later file is seen too.
        const Location later = writeFile(dir, "later.txt", "seen");
        QTRY_VERIFY_WITH_TIMEOUT(processed(later), 10000);
    }

    void aMonitoredFolderThatVanishesKeepsItsRecords() {
        const Location dir = monitoredFolder("unmounted", 3);
        PassCounter counter;
        startWatching(dir);
        LogRecorder log;
        // The folder vanishes from its path in one step, as when its volume is
        // unmounted (deleting its files one by one would rightly remove their records
        // first). Its leaving starts a pass over the path where it no longer is.
        const QString elsewhere = m_dir->filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().rename(dir.path(), elsewhere));
        QTRY_VERIFY_WITH_TIMEOUT(counter.passes(dir) >= 1 && !notifications.passActive(dir), 10000);
        QVERIFY(EnginePool::waitForDone(20000));
        for (int i = 0; i < 3; ++i)
            QVERIFY(Database::shared().record(dir.child(QStringLiteral("f%1.txt").arg(i))));
        QVERIFY(log.countContaining("no orphaned files removed: " + dir.path()) >= 1);
    }

    void aFolderThatCannotBeWatchedIsReportedAndTheOthersWork_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing, no access") << "missing"
                                            << "Failed to open access to monitored folder: %1 "
                                               "[ FileSystemNotifier.init(_:) ]";
        QTest::newRow("missing, access recorded earlier")
            << "gone"
            << "Unable to watch monitored folder: %1 (the folder does not exist) "
               "[ FileSystemNotifier.init(_:) ]";
        QTest::newRow("a file, not a folder")
            << "file"
            << "Unable to watch monitored folder: %1 (the location is not a "
               "folder) [ FileSystemNotifier.init(_:) ]";
        QFile limit("/proc/sys/fs/inotify/max_user_watches");
        const QString watches = limit.open(QIODevice::ReadOnly)
                                    ? " = " + QString::fromLatin1(limit.readAll()).trimmed()
                                    : QString();
        QTest::newRow("the inotify watch limit reached")
            << "limit"
            << "Unable to watch monitored folder: %1 (the inotify watch limit is reached "
               "(fs.inotify.max_user_watches" +
                   watches + ")) [ FileSystemNotifier.init(_:) ]";
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
        QCOMPARE(log.messages(Level::Warning).count(expected.arg(bad.path())), 1);
        QVERIFY(!notifier->hasSource());

        const Location created = writeFile(good, "still.txt", "works");
        QTRY_VERIFY_WITH_TIMEOUT(processed(created), 10000);

        log.clear();
        notifications.remove(bad);
        QCOMPARE(log.countContaining(
                     "Could not acquire dispatchSource during stop event [ FileSystemNotifier.stop() ]"),
                 1);
        QCOMPARE(log.countContaining("Folder monitoring stopped for path: " + bad.path()), 1);
        LocationState::shared().remove(bad);
    }

    void removeStopsTheWatchAndAlwaysLogs() {
        const Location dir = monitoredFolder("toggle", 0);
        startWatching(dir);
        QVERIFY(WatchThread::shared().isWatched(dir));
        LogRecorder log;
        PassCounter counter;
        notifications.remove(dir);
        QCOMPARE(log.messages(Level::Info)
                     .count("Cancelled filesystem notifications for: " + dir.path() +
                            " [ FileSystemNotifier.stop() ]"),
                 1);
        QCOMPARE(log.messages(Level::Info)
                     .count("Folder monitoring stopped for path: " + dir.path() +
                            " [ FolderNotifications.remove(_:) ]"),
                 1);
        QVERIFY(!WatchThread::shared().isWatched(dir));
        // Events come in order on the one inotify descriptor: once the pass of a folder
        // still watched has begun, an event of `dir` would have started its pass too.
        const Location witness = monitoredFolder("witness", 0);
        startWatching(witness);
        writeFile(dir, "unseen.txt", "no pass");
        writeFile(witness, "seen.txt", "a pass");
        QTRY_VERIFY(counter.passes(witness) >= 1);
        QVERIFY(EnginePool::waitForDone(20000));
        QCOMPARE(counter.passes(dir), 0);

        log.clear();
        const Location never(m_dir->filePath(QStringLiteral("never-monitored")));
        notifications.remove(never);
        QCOMPARE(log.messages(), (QStringList{"Folder monitoring stopped for path: " + never.path() +
                                              " [ FolderNotifications.remove(_:) ]"}));
    }

    void monitoringAFolderAgainKeepsOneWatch() {
        const Location dir = monitoredFolder("again", 0);
        startWatching(dir);
        const auto first = notifications.notifier(dir);
        startWatching(dir);
        QVERIFY(notifications.notifier(dir) != first);
        QCOMPARE(int(first->state()), int(FileSystemNotifier::State::Stopped));
        QCOMPARE(notifications.locations().size(), 1);
        QVERIFY(WatchThread::shared().isWatched(dir)); // the new notifier holds it
        const Location created = writeFile(dir, "seen.txt", "by the new notifier");
        QTRY_VERIFY_WITH_TIMEOUT(processed(created), 10000);
    }

    void ceaseTwice() {
        const Location a = monitoredFolder("one", 0);
        const Location b = monitoredFolder("two", 0);
        startWatching(a);
        startWatching(b);
        LogRecorder log;
        notifications.cease();
        QCOMPARE(log.countContaining("Ceasing file system folder monitoring for [ 2 ] locations "
                                     "[ FolderNotifications.cease() ]"),
                 1);
        QCOMPARE(log.countContaining("Folder monitoring stopped for path: "), 2);
        QVERIFY(notifications.locations().isEmpty());
        log.clear();
        notifications.cease();
        QCOMPARE(log.messages(),
                 (QStringList{"Folder monitoring not active, no corresponding actions to cease "
                              "[ FolderNotifications.cease() ]"}));
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
        QVERIFY(counter.passes(dir) >= 1);
        QVERIFY2(counter.passes(dir) < 100, qPrintable(QString::number(counter.passes(dir))));
        QCOMPARE(int(Database::shared().files(dir).size()), 1000);
    }
};

TREVALIN_TEST_MAIN(FolderNotificationsTest)
#include "tst_FolderNotifications.moc"
