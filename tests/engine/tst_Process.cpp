// Intake, triage and queue processing on real files. Every algorithm's digest, a folder
// added again and the entries of a folder that are skipped: tst_Trevalinctl.
#include "engine/Global.h"
#include "engine/Progress.h"
#include "engine/SafeQueue.h"
#include "engine/ThreadSafeCounters.h"
#include "store/BookmarkDatabase.h"
#include "store/CoreDatabase.h"
#include "store/PlistFile.h"

#include "EngineTestSupport.h"
#include "TestMain.h"

#include <atomic>
#include <functional>
#include <mutex>

#include <utime.h>

using namespace trevalin;
using namespace trevalin::test;

namespace {

// Qt's digest of `data`, independent of the program's own hashing.
QString qtDigest(const QByteArray& data, Digest digest) {
    constexpr QCryptographicHash::Algorithm qt[] = {QCryptographicHash::Md5, QCryptographicHash::Sha1,
                                                    QCryptographicHash::Sha256, QCryptographicHash::Sha384,
                                                    QCryptographicHash::Sha512}; // in Digest's order
    return QString::fromLatin1(QCryptographicHash::hash(data, qt[int(digest)]).toHex());
}

// `size` bytes of a pattern that `seed` varies.
QByteArray content(qint64 size, int seed) {
    QByteArray data(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        data[i] = char((i * 131 + seed) ^ (i >> 9));
    return data;
}

std::int64_t jobsCounted() {
    return ThreadSafeCounters::shared().jobs->count();
}
std::int64_t runsCounted() {
    return ThreadSafeCounters::shared().invocations->count();
}

// Records what the progress model showed: each new title, each change of the
// remaining-job count (the first one included) and every (value, total) pair.
class ProgressRecorder {
public:
    struct Seen {
        QStringList titles;
        QList<qint64> remaining;
        QList<std::pair<double, double>> values;
    };
    ProgressRecorder() {
        m_connection = QObject::connect(
            &Progress::shared(), &Progress::changed, &Progress::shared(),
            [this] {
                const Progress::Snapshot s = Progress::shared().snapshot();
                std::lock_guard lock(m_mutex);
                if (m_seen.titles.isEmpty() || m_seen.titles.last() != s.title)
                    m_seen.titles << s.title;
                if (m_seen.remaining.isEmpty() || m_seen.remaining.last() != s.remaining)
                    m_seen.remaining << s.remaining;
                m_seen.values.append({s.value, s.total});
            },
            Qt::DirectConnection);
    }
    ~ProgressRecorder() { QObject::disconnect(m_connection); }
    Seen seen() const {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }

private:
    QMetaObject::Connection m_connection;
    mutable std::mutex m_mutex;
    Seen m_seen; // guarded by m_mutex
};

// A synchronous log destination that runs `action` once, when a message starting with
// `prefix` is logged (on the logging thread, before the logger returns).
class InjectOnLine : public BaseDestination {
public:
    InjectOnLine(QString prefix, std::function<void()> action)
        : m_prefix(std::move(prefix))
        , m_action(std::move(action)) {
        setAsynchronously(false);
    }
    std::optional<QString> send(const LogEntry& entry) override {
        if (!m_done && entry.message.startsWith(m_prefix)) {
            m_done = true;
            m_action();
        }
        return entry.message;
    }

private:
    QString m_prefix;
    std::function<void()> m_action;
    std::atomic<bool> m_done{false};
};

} // namespace

class ProcessTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    Location write(const QString& name, qint64 size, int seed = 1) {
        QDir().mkpath(QFileInfo(path(name)).absolutePath());
        return writeFile(path(name), content(size, seed)) ? Location(path(name)) : Location();
    }
    Location folder(const QString& name) { return makeFolder(*m_dir, name); }
    // Files queued for triage, then triaged.
    static bool triage(const QList<Location>& files) {
        SafeQueue::shared().files.added.add(files);
        return Process::triage();
    }
    static int queuedJobs() { return SafeQueue::shared().files.queued.count(); }

private slots:
    void initTestCase() { setUpEngine(); }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        Global::shared().setStatusForTesting(ApplicationState::Idle);
        SafeQueue::shared().files.added.replaceData();
        SafeQueue::shared().folders.added.replaceData();
        SafeQueue::shared().files.queued.replaceData();
        enable({Digest::SHA1});
    }

    void cleanup() {
        QVERIFY(EnginePool::waitForDone(20000));
        m_dir.reset();
    }

    // A folder gives its visible files one level deep, in name order, after the files
    // given on their own; a file given with its folder gives one set of jobs. They are
    // processed first in, first out. A folder with only sub-folders is stored too.
    void addingAFolderTakesItsVisibleFilesOneLevelDeep() {
        enable({Digest::MD5, Digest::SHA1});
        const Location dir = folder(QStringLiteral("photos"));
        const Location a = write(QStringLiteral("photos/a.jpg"), 100);
        const Location b = write(QStringLiteral("photos/b.jpg"), 200);
        const Location c = write(QStringLiteral("photos/c.jpg"), 300);
        write(QStringLiteral("photos/.hidden"), 10);
        const Location nested = write(QStringLiteral("photos/sub/c.jpg"), 10);
        const Location outer = folder(QStringLiteral("outer"));
        write(QStringLiteral("outer/inner/deep.txt"), 5);
        const auto jobsBefore = jobsCounted();
        addAndSettle({dir, b, outer});

        QCOMPARE(jobsCounted() - jobsBefore, std::int64_t(6)); // 3 files x 2 algorithms, once
        QVERIFY(CoreDatabase::contains(dir) && CoreDatabase::contains(outer));
        QCOMPARE(Database::shared().record(a)->checksums().size(), 2);
        QCOMPARE(Database::shared().record(b)->checksums().size(), 2);
        QVERIFY(!Database::shared().record(nested));
        QVERIFY(!Database::shared().record(Location(path(QStringLiteral("photos/.hidden")))));
        QVERIFY(!Database::shared().record(Location(path(QStringLiteral("photos/sub")))));
        QCOMPARE(Database::shared().indexOf(b).value() + 1, Database::shared().indexOf(a).value());
        QCOMPARE(Database::shared().indexOf(a).value() + 1, Database::shared().indexOf(c).value());
    }

    // Each step called with nothing to do does nothing.
    void emptyStepsStartNothing() {
        const auto runsBefore = runsCounted();
        QVERIFY(Process::added(QList<Location>{}).isFinished());
        QVERIFY(!Process::triage());
        QVERIFY(!Process::process());
        QCOMPARE(runsCounted(), runsBefore);
        TCOMPARE_ENUM(Global::shared().status(), ApplicationState::Idle);
    }

    // Unchanged: the record stays, its jobs are queued again and give the same digests.
    void anUnchangedFileKeepsItsRecordAndIsQueuedAgain() {
        enable({Digest::SHA1, Digest::SHA256});
        const Location file = write(QStringLiteral("same.bin"), 1000);
        addAndSettle({file});
        const FileObjectPtr before = Database::shared().record(file);
        const QList<Checksum> digests = before->checksums();
        QVERIFY(triage({file}));
        QCOMPARE(Database::shared().record(file), before);
        const std::vector<Job> jobs = SafeQueue::shared().files.queued.data().toVector();
        QCOMPARE(jobs.size(), size_t(2));
        TCOMPARE_ENUM(jobs[0].algorithm, Digest::SHA1);
        TCOMPARE_ENUM(jobs[1].algorithm, Digest::SHA256);
        QCOMPARE(SafeQueue::shared().files.added.count(), 0);

        QVERIFY(Process::process());
        QCOMPARE(Database::shared().record(file), before);
        QVERIFY(before->checksums()[0].sameDigest(digests[0]));
        QVERIFY(before->checksums()[1].sameDigest(digests[1]));
    }

    // Metadata changed: a fresh Pending record takes the old one's place, then is hashed.
    void aTouchedFileGetsAFreshPendingRecord() {
        const Location file = write(QStringLiteral("touched.bin"), 500);
        addAndSettle({file});
        const FileObjectPtr before = Database::shared().record(file);
        const auto position = Database::shared().indexOf(file);
        const struct utimbuf times { 1000000000, 1000000000 };
        QCOMPARE(::utime(QFile::encodeName(file.path()).constData(), &times), 0);
        QVERIFY(triage({file}));
        const FileObjectPtr fresh = Database::shared().record(file);
        QVERIFY(fresh != before);
        TCOMPARE_ENUM(fresh->status(), FileState::Pending);
        QVERIFY(fresh->checksums().isEmpty());
        QCOMPARE(fresh->modified(), 1000000000.0);
        QCOMPARE(Database::shared().indexOf(file), position); // replaced in place

        QVERIFY(Process::process());
        TCOMPARE_ENUM(fresh->status(), FileState::Processed);
        QCOMPARE(fresh->checksums().size(), 1);
    }

    // New, with no algorithm enabled: recorded, nothing queued, and still saved.
    void withNoAlgorithmEnabledFilesAreRecordedButNothingIsQueued() {
        enable({});
        const Location file = write(QStringLiteral("none.bin"), 10);
        FlagStore::shared().set(SubSystem::database, Flag::save, false);
        QVERIFY(triage({file}));
        TCOMPARE_ENUM(Database::shared().record(file)->status(), FileState::Pending);
        QCOMPARE(queuedJobs(), 0);
        // The new record alone must reach the file: no digest store will flag the save.
        QVERIFY(EnginePool::waitForDone(20000));
        QVERIFY(FlagStore::shared().get(SubSystem::database, Flag::save));
    }

    void jobsAreAppliedOneByOneInQueueOrder() {
        // Jobs of one record next to each other share one read; a job of the same record
        // further back is computed on its own. Titles and stores follow the queue.
        const Location a = write(QStringLiteral("a.bin"), 3000, 1);
        const Location b = write(QStringLiteral("b.bin"), 4000, 2);
        enable({});
        QVERIFY(triage({a, b}));
        const FileObjectPtr ra = Database::shared().record(a);
        const FileObjectPtr rb = Database::shared().record(b);
        SafeQueue::shared().files.queued.add(QList<Job>{{ra, Digest::SHA512},
                                                        {ra, Digest::MD5},
                                                        {rb, Digest::SHA1},
                                                        {ra, Digest::SHA256},
                                                        {rb, Digest::MD5}});
        ProgressRecorder recorder;
        const Progress::Snapshot before = Progress::shared().snapshot();
        QVERIFY(Process::process());
        const ProgressRecorder::Seen seen = recorder.seen();
        QCOMPARE(seen.titles.filter(QStringLiteral("Processing: ")),
                 (QStringList{"Processing: a.bin SHA512", "Processing: a.bin MD5", "Processing: b.bin SHA1",
                              "Processing: a.bin SHA256", "Processing: b.bin MD5"}));
        // Stored in queue order, each the digest of the whole file (one read or two).
        const auto stored = [](const FileObjectPtr& record, const QByteArray& data) {
            QStringList names;
            for (const Checksum& c : record->checksums())
                names << (c.value == qtDigest(data, c.algorithm) ? QString() : QStringLiteral("wrong ")) +
                             toString(c.algorithm);
            return names;
        };
        QCOMPARE(stored(ra, content(3000, 1)), (QStringList{"SHA512", "MD5", "SHA256"}));
        QCOMPARE(stored(rb, content(4000, 2)), (QStringList{"SHA1", "MD5"}));
        QCOMPARE(Progress::shared().processed() - before.processed, qint64(5));
        // The run starts with every queued job remaining and counts down to none.
        QCOMPARE(seen.remaining, (QList<qint64>{5, 4, 3, 2, 1, 0}));
        // The bar moves in file-size steps up to the volume: 3000*3 + 4000*2.
        QVERIFY(seen.values.contains({17000.0, 17000.0}));
    }

    void aFileDeletedAfterQueueingStillCompletesTheRun() {
        const Location keep = write(QStringLiteral("keep.bin"), 1500);
        const Location gone = write(QStringLiteral("gone.bin"), 2500);
        enable({Digest::MD5, Digest::SHA1});
        QVERIFY(triage({gone, keep}));
        QVERIFY(QFile::remove(gone.path()));

        LogRecorder log;
        ProgressRecorder recorder;
        QVERIFY(Process::process());
        TCOMPARE_ENUM(Global::shared().status(), ApplicationState::Idle);
        QCOMPARE(queuedJobs(), 0);
        QVERIFY(Database::shared().record(gone)->checksums().isEmpty());
        TCOMPARE_ENUM(Database::shared().record(gone)->status(), FileState::Pending);
        QCOMPARE(Database::shared().record(keep)->checksums().size(), 2);
        // Each of the two jobs of the missing file reports its own failure.
        QCOMPARE(log.countContaining("An error occured checksumming the file"), 2);
        QVERIFY(recorder.seen().values.contains({8000.0, 8000.0})); // the bar still reaches its end
        QCOMPARE(Progress::shared().remaining(), qint64(0));
    }

    // A run is turned away while another is active; the next one takes the queue and
    // logs its volume: bytes summed over the files, megabytes whole (rounded down).
    void processWhileARunIsActiveLeavesTheQueue() {
        QVERIFY(triage(
            {write(QStringLiteral("v0.bin"), 1048576, 0), write(QStringLiteral("v1.bin"), 1048575, 1)}));
        Global::shared().setStatusForTesting(ApplicationState::Processing);
        const auto runsBefore = runsCounted();
        QVERIFY(!Process::process());
        QCOMPARE(queuedJobs(), 2);
        QCOMPARE(runsCounted(), runsBefore);
        Global::shared().setStatusForTesting(ApplicationState::Idle);
        LogRecorder log;
        QVERIFY(Process::process());
        QCOMPARE(queuedJobs(), 0);
        QCOMPARE(
            log.messages(Level::Info)
                .count("Tasks [ 2 ] Data Volume [ 2097151 Bytes ] [ 1 MegaBytes ] [ Process.process() ]"),
            1);
    }

    void jobsQueuedAsARunEndsAreNotLeftBehind() {
        // Jobs that arrive after the loop found the queue empty, while the state is still
        // Processing (so their own process() call would be turned away), are taken by a
        // further run before process() returns.
        const Location first = write(QStringLiteral("first.bin"), 100, 1);
        const Location late = write(QStringLiteral("late.bin"), 200, 2);
        QVERIFY(triage({first, late}));
        const FileObjectPtr lateRecord = Database::shared().record(late);
        const Job lateJob = SafeQueue::shared().files.queued.data().toVector().back();
        SafeQueue::shared().files.queued.replaceData();
        SafeQueue::shared().files.queued.add(QList<Job>{{Database::shared().record(first), Digest::SHA1}});

        auto injector = std::make_shared<InjectOnLine>(QStringLiteral("Queue processing TERMINATING"), [&] {
            SafeQueue::shared().files.queued.add(QList<Job>{lateJob});
        });
        Logger::addDestination(injector);
        const auto runsBefore = runsCounted();
        const bool ran = Process::process();
        Logger::removeDestination(injector);
        QVERIFY(ran);
        QCOMPARE(runsCounted() - runsBefore, std::int64_t(2));
        QCOMPARE(queuedJobs(), 0);
        QCOMPARE(lateRecord->checksums().size(), 1);
        TCOMPARE_ENUM(Global::shared().status(), ApplicationState::Idle);
    }

    // A name the content database cannot store is refused at intake, before any
    // bookmark is made for it; the other location is taken.
    void namesAPropertyListCannotCarryAreRefused() {
        const Location bad = write(QStringLiteral("odd/bad\x01name.txt"), 5);
        const Location other = write(QStringLiteral("elsewhere/other.txt"), 5);
        LogRecorder log;
        addAndSettle({bad, other});
        QVERIFY(!Database::shared().record(bad));
        QVERIFY(!BookmarkDatabase::shared().contains(bad));
        QVERIFY(BookmarkDatabase::shared().contains(other));
        QVERIFY(Database::shared().record(other));
        QCOMPARE(log.messages(Level::Error),
                 QStringList{"Location refused; its path cannot be stored in the content database: " +
                             PlistFile::printable(bad.path()) + " [ added(_:) ]"});
    }
};

TREVALIN_TEST_MAIN(ProcessTest)
#include "tst_Process.moc"
