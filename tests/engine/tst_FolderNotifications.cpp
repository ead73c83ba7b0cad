// Tests of folder monitoring with real inotify watches on real folders: start-up
// with and without monitored folders (through start-up completion), events that
// start passes, files created and deleted, a monitored folder that vanishes from
// its path (its records stay), folders that cannot be watched while the others keep working,
// remove() and cease() and their lines, and a burst of a thousand files that all
// get records while at most one pass per folder runs at a time.
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

#include <atomic>
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

    void aMonitoredFolderThatVanishesKeepsItsRecords() {
        const Location dir = monitoredFolder("unmounted", 3);
        PassCounter counter;
        startWatching(dir);
        LogRecorder log;
        // The folder vanishes from its path in one step, as when its volume is
        // unmounted (deleting its files one by one would rightly remove their records
        // first). The watch follows the moved folder, so a change inside it starts a
        // pass over the path where it no longer is.
        const QString elsewhere = m_dir->filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().rename(dir.path(), elsewhere));
        writeFile(Location(elsewhere), QStringLiteral("late.txt"), "after the move");
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
    }
    void aFolderThatCannotBeWatchedIsReportedAndTheOthersWork() {
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        Location bad(m_dir->filePath(QStringLiteral("bad")));
        if (kind == QLatin1String("gone"))
            LocationState::shared().set(bad, true);
        else if (kind == QLatin1String("file"))
            bad = writeFile(Location(m_dir->path()), QStringLiteral("plain.txt"), "x");
        const Location good = monitoredFolder("good", 0);
        LogRecorder log;
        notifications.monitor(bad);
        startWatching(good);
        const auto notifier = notifications.notifier(bad);
        QTRY_COMPARE(int(notifier->state()), int(FileSystemNotifier::State::Failed));
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
        writeFile(dir, "unseen.txt", "no pass");
        QTest::qWait(200);
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
