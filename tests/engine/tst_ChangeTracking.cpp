// Change tracking on real folders, the settle interval shortened: files that settle or
// are still being written, orphans, the watch loop, and the start-at-login delay.
#include "engine/Global.h"
#include "engine/SafeQueue.h"
#include "engine/Timing.h"
#include "store/AppSettings.h"

#include "EngineTestSupport.h"
#include "TestMain.h"

#include <QScopeGuard>

#include <atomic>
#include <chrono>

#include <sys/stat.h>

using namespace trevalin;
using namespace std::chrono_literals;
using namespace trevalin::test;

namespace {

constexpr auto kSettle = 60ms;

const QString kQuiet = "No actions immediately required in new monitored location [ Process.triage(_:) ]";

// The application states entered while it lives, in order.
struct StateLog {
    QStringList states;
    QMetaObject::Connection connection =
        QObject::connect(&Global::shared(), &Global::statusChanged,
                         [this](ApplicationState state) { states << toString(state); });
    ~StateLog() { QObject::disconnect(connection); }
};

} // namespace

class ChangeTrackingTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    Location folder(const QString& name) { return makeFolder(*m_dir, name); }
    // A folder added the way the user adds one: stored and every file hashed.
    Location trackedFolder(const QString& name, int files) {
        const Location dir = folder(name);
        for (int i = 0; i < files; ++i)
            writeFile(dir, QStringLiteral("f%1.txt").arg(i), QByteArray("content ") + QByteArray::number(i));
        addAndSettle({dir});
        return dir;
    }
    static void settleEngine() { QVERIFY(EnginePool::waitForDone(20000)); }

private slots:
    void initTestCase() {
        setUpEngine();
        Timing::setForTesting(kSettle, 1ms, 50ms);
    }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        AppSettings::shared().setAutoLaunch(false);
        Global::shared().setStatusForTesting(ApplicationState::Idle);
    }

    void cleanup() {
        settleEngine();
        QVERIFY(SafeQueue::shared().files.watched.data().isEmpty());
        m_dir.reset();
    }

    void completeNewFilesSettleInOneIntervalAndAreHashed() {
        const Location dir = trackedFolder("new", 2);
        QList<Location> added;
        for (int i = 0; i < 20; ++i)
            added.append(writeFile(dir, QStringLiteral("added%1.txt").arg(i),
                                   "copied in whole " + QByteArray::number(i)));
        StateLog states;
        const long long waitsBefore = Timing::settleWaitsForTesting();
        QVERIFY(Process::triage(dir));
        // One settle interval for the whole pass, not one per file, and none watched:
        // every file is hashed by the run that follows at once.
        QCOMPARE(Timing::settleWaitsForTesting() - waitsBefore, 1LL);
        QVERIFY(Process::process());
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(storedSha1(added[i]), sha1("copied in whole " + QByteArray::number(i)));
            QVERIFY(processed(added[i]));
        }
        // More files than records: the pass evaluates first.
        QCOMPARE(states.states, (QStringList{"Evaluating", "Processing", "Idle"}));
    }

    // A file still growing between the readings is watched and hashed once two readings
    // agree; the pass says what it found only after that (its last line comes after
    // the watch loop's). The settle hook appends at the pass's wait and the loop's
    // first two rounds; the third round finds the file settled.
    void aFileStillBeingWrittenIsWatchedAndHashedOnceItStops() {
        const Location dir = trackedFolder("growing", 1);
        const Location growing = writeFile(dir, "download.part", "start");
        QByteArray written("start");
        std::atomic<int> waits{0};
        std::atomic<bool> watched{false};
        Timing::setSettleHookForTesting([&] {
            if (++waits > 3)
                return;
            QFile file(growing.path());
            if (file.open(QIODevice::Append) && file.write("more data ") == 10)
                written += "more data ";
            watched = watched || SafeQueue::shared().files.watched.contains(growing);
        });
        const auto unhook = qScopeGuard([] { Timing::setSettleHookForTesting({}); });
        LogRecorder log;
        const bool triaged = Process::triage(dir);
        Timing::setSettleHookForTesting({});
        QVERIFY(!triaged);
        QVERIFY(watched);
        QCOMPARE(waits.load(), 4);
        QVERIFY(!FlagStore::shared().get(SubSystem::watching, Flag::active));
        const QStringList lines = log.messages();
        const qsizetype ended = lines.indexOf(
            "Background task monitoring changing/updating files terminated [ Process.watch() ]");
        QVERIFY2(ended >= 0 && lines.indexOf(kQuiet) > ended, qPrintable(lines.join(u'\n')));

        QTRY_VERIFY_WITH_TIMEOUT(processed(growing), 10000);
        QCOMPARE(storedSha1(growing), sha1(written));
    }

    // A pass whose folder has a file on the watch list while another thread runs the
    // loop leaves that file to the loop and waits for its rounds (sleeping none of its
    // own: reading the file itself would take a settle interval), then ends with its
    // own line. The settle hook keeps the file growing until the pass is waiting.
    void aPassWaitsForTheLoopThatAnotherThreadRuns() {
        const Location dir = trackedFolder("shared", 0);
        const Location busy = writeFile(dir, "busy.bin", "x");
        SafeQueue::shared().files.watched.add(QList<Location>{busy});
        LogRecorder log;
        std::atomic<int> waits{0};
        std::atomic<bool> onThisThread{false};
        const std::thread::id thisThread = std::this_thread::get_id();
        Timing::setSettleHookForTesting([&] {
            ++waits;
            onThisThread = onThisThread || std::this_thread::get_id() == thisThread;
            if (log.countContaining("Watching files in monitored location") == 0) {
                QFile file(busy.path());
                if (file.open(QIODevice::Append))
                    file.write("growing ");
            }
        });
        std::thread loop([] { Process::watch(); });
        QTRY_VERIFY(waits > 0); // the other thread runs the loop
        QVERIFY(!Process::triage(dir));
        loop.join();
        Timing::setSettleHookForTesting({});
        QVERIFY(!onThisThread); // the pass slept no settle interval of its own
        const QStringList lines = log.messages();
        const qsizetype ready = lines.indexOf("Blocked file now ready for processing: " + busy.urlText() +
                                              " [ Process.watch() ]");
        QVERIFY2(ready >= 0 && lines.indexOf(kQuiet) > ready, qPrintable(lines.join(u'\n')));
        QTRY_VERIFY(processed(busy));
    }

    // A pass that switches to Evaluating and then queues nothing goes back to Idle (what
    // that change does: tst_Global). The settle hook changes the new file exactly
    // between its readings.
    void anEvaluationThatFindsNoWorkEndsIdle_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("new file deleted before it settles") << "deleted";
        QTest::newRow("new file watched, then deleted") << "watched";
        QTest::newRow("no algorithm enabled") << "no algorithm";
    }
    void anEvaluationThatFindsNoWorkEndsIdle() {
        QFETCH(QString, how);
        const Location dir = trackedFolder("nowork", 1);
        const Location file = writeFile(dir, "new.tmp", "short-lived");
        std::atomic<int> waits{0};
        Timing::setSettleHookForTesting([&] {
            const int n = ++waits;
            if (how == QLatin1String("deleted") || (how == QLatin1String("watched") && n == 2))
                QFile::remove(file.path());
            else if (how == QLatin1String("watched") && n == 1)
                writeFile(dir, "new.tmp", "still being written");
        });
        if (how == QLatin1String("no algorithm"))
            enable({});
        StateLog states;
        QCOMPARE(Process::triage(dir), how == QLatin1String("no algorithm"));
        settleEngine();
        Timing::setSettleHookForTesting({});
        enable({Digest::SHA1});
        QCOMPARE(states.states, (QStringList{"Evaluating", "Idle"}));
        QCOMPARE(bool(Database::shared().record(file)), how == QLatin1String("no algorithm"));
    }

    void aFolderThatMatchesItsRecordsChangesNothing() {
        const Location dir = trackedFolder("quiet", 3);
        // Neither a FIFO nor a sub-folder ever becomes a record: they must not make
        // the folder look as if it held new files.
        QVERIFY(::mkfifo(dir.child("pipe").path().toLocal8Bit().constData(), 0600) == 0);
        QDir().mkpath(dir.child("sub").path());
        StateLog states;
        QVERIFY(!Process::triage(dir));
        QVERIFY(states.states.isEmpty());
        QVERIFY(SafeQueue::shared().files.added.data().isEmpty());
    }

    // A tracked file deleted from its folder loses its record at the next pass; a
    // folder that is itself gone, replaced or unreadable keeps every record.
    void orphanedRecordsAreRemovedOnlyFromAFolderThatIsThere_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("one file deleted") << "file deleted";
        QTest::newRow("folder deleted") << "deleted";
        QTest::newRow("folder replaced by a file") << "file";
        QTest::newRow("folder unreadable") << "unreadable";
    }
    void orphanedRecordsAreRemovedOnlyFromAFolderThatIsThere() {
        QFETCH(QString, how);
        if (how == QLatin1String("unreadable"))
            TREVALIN_RUN_UNPRIVILEGED(); // root reads every folder
        const Location dir = trackedFolder("volume", 3);
        const QByteArray name = QFile::encodeName(dir.path());
        if (how == QLatin1String("file deleted"))
            QVERIFY(QFile::remove(dir.child("f1.txt").path()));
        else if (how == QLatin1String("unreadable"))
            QVERIFY(::chmod(name.constData(), 0) == 0);
        else
            QVERIFY(QDir(dir.path()).removeRecursively());
        if (how == QLatin1String("file"))
            writeFile(dir.parent(), dir.fileName(), "now a file");
        QVERIFY(!Process::triage(dir));
        settleEngine();
        ::chmod(name.constData(), 0700);
        QTRY_COMPARE(bool(Database::shared().record(dir.child("f1.txt"))),
                     how != QLatin1String("file deleted"));
        QVERIFY(Database::shared().record(dir.child("f0.txt")));
        QVERIFY(Database::shared().record(dir.child("f2.txt")));
    }

    // Every watched file leaves the list: settled (two readings agree), matching its
    // record, or gone (a new file that settles: the growing-file case above).
    void theWatchLoopEndsForEveryFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("record with old metadata, settled") << "stale";
        QTest::newRow("rewritten to match its record") << "restored";
        QTest::newRow("deleted while watched") << "deleted";
    }
    void theWatchLoopEndsForEveryFile() {
        QFETCH(QString, kind);
        const Location dir = trackedFolder("watch", 1);
        const Location file = dir.child("f0.txt");
        QByteArray expected("content 0");
        if (kind == QLatin1String("stale")) {
            expected = "rewritten with other bytes";
            writeFile(dir, "f0.txt", expected);
        } else if (kind == QLatin1String("deleted")) {
            QVERIFY(QFile::remove(file.path()));
        }
        SafeQueue::shared().files.watched.add(QList<Location>{file});
        Process::watch();
        QVERIFY(!SafeQueue::shared().files.watched.contains(file));
        QVERIFY(!FlagStore::shared().get(SubSystem::watching, Flag::active));
        if (kind == QLatin1String("deleted")) {
            QVERIFY(Database::shared().record(file)); // until the next orphan scan
            return;
        }
        QTRY_VERIFY(processed(file));
        QCOMPARE(storedSha1(file), sha1(expected));
    }

    // The record of a file that settled while watched is stored as Changing before its
    // jobs can run: a run held back by the Processing state lets it be seen.
    void aSettledWatchedFileIsStoredAsChangingBeforeItsJobsRun() {
        const Location dir = trackedFolder(QStringLiteral("changing"), 0);
        const Location file =
            writeFile(dir, QStringLiteral("settled.txt"), QByteArray("written while watched"));
        SafeQueue::shared().files.watched.add(QList<Location>{file});
        Global::shared().setStatusForTesting(ApplicationState::Processing);
        auto release = qScopeGuard([] { Global::shared().setStatusForTesting(ApplicationState::Idle); });
        Process::watch();
        const FileObjectPtr stored = Database::shared().record(file);
        QVERIFY(stored);
        QCOMPARE(toString(stored->status()), toString(FileState::Changing));
        QCOMPARE(SafeQueue::shared().files.queued.count(), 1);
        release.dismiss();
        Global::shared().setStatusForTesting(ApplicationState::Idle);
        QTRY_VERIFY(processed(file));
    }

    void triageAllWaitsBeforeItsStartupPassWhenStartedAtLogin_data() {
        QTest::addColumn<bool>("autoLaunch");
        QTest::newRow("started at login") << true;
        QTest::newRow("started by the user") << false;
    }
    void triageAllWaitsBeforeItsStartupPassWhenStartedAtLogin() {
        QFETCH(bool, autoLaunch);
        AppSettings::shared().setAutoLaunch(autoLaunch);
        const Location dir = trackedFolder("startup", 1);
        const QByteArray data("found at start-up");
        const Location added = writeFile(dir, "later.txt", data);
        const long long waitsBefore = Timing::startupWaitsForTesting();
        Process::triageAll();
        QCOMPARE(Timing::startupWaitsForTesting() - waitsBefore, autoLaunch ? 1LL : 0LL);
        QCOMPARE(storedSha1(added), sha1(data)); // triageAll ends with process()
    }
};

TREVALIN_TEST_MAIN(ChangeTrackingTest)
#include "tst_ChangeTracking.moc"
