// Tests of intake, triage and queue processing on real files in a temporary folder,
// with the real content database, folder store, queues, progress model and state:
// what gets recorded and queued for files, folders and both together, the three
// database cases, digests against an independent implementation, the per-job order
// of titles and stores when one read serves several jobs, the volume line, failures
// (deleted files, FIFOs, unstorable names) and the run guard.
#include "engine/Global.h"
#include "engine/Progress.h"
#include "engine/SafeQueue.h"
#include "engine/ThreadSafeCounters.h"
#include "model/FileObject.h"
#include "store/BookmarkDatabase.h"
#include "store/CoreDatabase.h"
#include "store/PlistFile.h"

#include "EngineTestSupport.h"
#include "LogRecorder.h"
#include "TestMain.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <atomic>
#include <functional>
#include <mutex>

#include <sys/stat.h>
#include <sys/types.h>
#include <utime.h>

using namespace trevalin;
using namespace trevalin::test;

Q_DECLARE_METATYPE(QList<trevalin::Digest>)

namespace {

QCryptographicHash::Algorithm qtAlgorithm(Digest digest) {
    switch (digest) {
    case Digest::MD5:
        return QCryptographicHash::Md5;
    case Digest::SHA1:
        return QCryptographicHash::Sha1;
    case Digest::SHA256:
        return QCryptographicHash::Sha256;
    case Digest::SHA384:
        return QCryptographicHash::Sha384;
    case Digest::SHA512:
        return QCryptographicHash::Sha512;
    }
    return QCryptographicHash::Sha1;
}

QByteArray content(qint64 size, int seed) {
    QByteArray data(size, Qt::Uninitialized);
    quint32 x = 2463534242u + static_cast<quint32>(seed);
    for (qint64 i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        data[i] = static_cast<char>(x);
    }
    return data;
}

std::int64_t jobsCounted() {
    return ThreadSafeCounters::shared().jobs->count();
}
std::int64_t runsCounted() {
    return ThreadSafeCounters::shared().invocations->count();
}

// Records the progress model's titles, (value, total) pairs and remaining-job counts
// as they are written.
class ProgressRecorder {
public:
    ProgressRecorder() {
        m_connection = QObject::connect(
            &Progress::shared(), &Progress::changed, &Progress::shared(),
            [this] {
                const Progress::Snapshot s = Progress::shared().snapshot();
                std::lock_guard lock(m_mutex);
                if (m_titles.isEmpty() || m_titles.last() != s.title)
                    m_titles << s.title;
                if (m_remaining.isEmpty() || m_remaining.last() != s.remaining)
                    m_remaining << s.remaining;
                m_values.append({s.value, s.total});
            },
            Qt::DirectConnection);
    }
    ~ProgressRecorder() { QObject::disconnect(m_connection); }
    QStringList titles() const {
        std::lock_guard lock(m_mutex);
        return m_titles;
    }
    QList<std::pair<double, double>> values() const {
        std::lock_guard lock(m_mutex);
        return m_values;
    }
    // Each change of the remaining-job count, the first one included.
    QList<qint64> remaining() const {
        std::lock_guard lock(m_mutex);
        return m_remaining;
    }

private:
    QMetaObject::Connection m_connection;
    mutable std::mutex m_mutex;
    QStringList m_titles;
    QList<std::pair<double, double>> m_values;
    QList<qint64> m_remaining;
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
        const QString file = path(name);
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write(content(size, seed));
        f.close();
        return Location(file);
    }
    Location folder(const QString& name) { return makeFolder(*m_dir, name); }
    static void intake(const QList<Location>& locations) {
        QFuture<void> done = Process::added(locations);
        QVERIFY(QTest::qWaitFor([&] { return done.isFinished(); }, 20000));
        QVERIFY(EnginePool::waitForDone(20000));
    }
    static void intake(const Location& location) {
        QFuture<void> done = Process::added(location);
        QVERIFY(QTest::qWaitFor([&] { return done.isFinished(); }, 20000));
        QVERIFY(EnginePool::waitForDone(20000));
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

    // --- intake of files and folders ----------------------------------------------

    void addingOneFileStoresEveryEnabledDigest_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QList<Digest>>("digests");
        QTest::newRow("empty file, all five") << qint64(0) << allDigests();
        QTest::newRow("one byte, SHA256") << qint64(1) << QList<Digest>{Digest::SHA256};
        QTest::newRow("4 KiB, MD5 and SHA512") << qint64(4096) << QList<Digest>{Digest::MD5, Digest::SHA512};
        QTest::newRow("3 MiB + 7 (threaded read), all five") << qint64(3 * 1048576 + 7) << allDigests();
        QTest::newRow("3 MiB + 7, SHA384 alone") << qint64(3 * 1048576 + 7) << QList<Digest>{Digest::SHA384};
    }
    void addingOneFileStoresEveryEnabledDigest() {
        QFETCH(qint64, size);
        QFETCH(QList<Digest>, digests);
        enable(digests);
        const Location file = write(QStringLiteral("one.bin"), size, int(size % 97));
        const auto jobsBefore = jobsCounted();
        intake(file);

        const FileObjectPtr record = Database::shared().record(file);
        QVERIFY(record);
        QCOMPARE(toString(record->status()), toString(FileState::Processed));
        QCOMPARE(record->bytes(), quint64(size));
        const QList<Checksum> stored = record->checksums();
        QCOMPARE(stored.size(), digests.size());
        const QByteArray data = content(size, int(size % 97));
        for (qsizetype i = 0; i < digests.size(); ++i) {
            QCOMPARE(toString(stored[i].algorithm), toString(digests[i])); // stored in job order
            QCOMPARE(stored[i].value,
                     QString::fromLatin1(QCryptographicHash::hash(data, qtAlgorithm(digests[i])).toHex()));
        }
        QCOMPARE(jobsCounted() - jobsBefore, std::int64_t(digests.size()));
        QCOMPARE(toString(Global::shared().status()), toString(ApplicationState::Idle));
        QCOMPARE(queuedJobs(), 0);
    }

    void addingAFolderTakesItsVisibleFilesOneLevelDeep() {
        LogRecorder log;
        const Location dir = folder(QStringLiteral("photos"));
        const Location a = write(QStringLiteral("photos/a.jpg"), 100);
        const Location b = write(QStringLiteral("photos/b.jpg"), 200);
        write(QStringLiteral("photos/.hidden"), 10);
        const Location nested = write(QStringLiteral("photos/sub/c.jpg"), 10);
        intake(dir);

        QVERIFY(CoreDatabase::contains(dir));
        QVERIFY(Database::shared().record(a));
        QVERIFY(Database::shared().record(b));
        QVERIFY(!Database::shared().record(nested));
        QVERIFY(!Database::shared().record(Location(path(QStringLiteral("photos/.hidden")))));
        QVERIFY(!Database::shared().record(Location(path(QStringLiteral("photos/sub")))));
        QCOMPARE(log.countContaining("Pre-processing: [ 1 ] folder(s) [ Process.triage(evaluate:) ]"), 1);
        QCOMPARE(log.countContaining("Pre-processing: [ 2 ] file(s) [ Process.triage(evaluate:) ]"), 1);
        QCOMPARE(log.countContaining(
                     "Tasks [ 2 ] Data Volume [ 300 Bytes ] [ 0 MegaBytes ] [ Process.process() ]"),
                 1);
        // Files are taken in name order and processed first in, first out.
        QCOMPARE(Database::shared().indexOf(a).value() + 1, Database::shared().indexOf(b).value());
    }

    void aFileAndItsFolderTogetherGiveOneSetOfJobs() {
        enable({Digest::MD5, Digest::SHA1});
        LogRecorder log;
        const Location dir = folder(QStringLiteral("docs"));
        const Location a = write(QStringLiteral("docs/a.txt"), 10);
        write(QStringLiteral("docs/b.txt"), 20);
        const auto jobsBefore = jobsCounted();
        intake(QList<Location>{a, dir});

        QCOMPARE(jobsCounted() - jobsBefore, std::int64_t(4)); // 2 files x 2 algorithms
        QCOMPARE(log.countContaining("Pre-processing: [ 2 ] file(s)"), 1);
        QCOMPARE(log.countContaining("Tasks [ 4 ] Data Volume [ 60 Bytes ]"), 1);
        QCOMPARE(Database::shared().record(a)->checksums().size(), 2);
    }

    void aFolderAddedAgainTakesInItsFilesWithoutARecord() {
        const Location dir = folder(QStringLiteral("again"));
        const Location lost = write(QStringLiteral("again/lost.txt"), 10);
        const Location kept = write(QStringLiteral("again/kept.txt"), 20);
        intake(dir);
        const FileObjectPtr keptRecord = Database::shared().record(kept);
        QVERIFY(keptRecord);
        // As after a crash before the save: the folder is stored, a record is not.
        Database::shared().removeRecord(lost);
        const Location created = write(QStringLiteral("again/created.txt"), 30);

        LogRecorder log;
        const auto jobsBefore = jobsCounted();
        intake(dir);
        QCOMPARE(
            log.messages(Level::Warning).count("Directory was already present in database: " + dir.path()),
            1);
        QVERIFY(processed(lost));
        QVERIFY(processed(created));
        QCOMPARE(Database::shared().record(kept).get(), keptRecord.get()); // left alone
        QCOMPARE(jobsCounted() - jobsBefore, std::int64_t(2));
        QCOMPARE(CoreDatabase::allFolders().count(dir), 1);
        QCOMPARE(SafeQueue::shared().folders.added.count(), 0);
    }

    void aFolderWithOnlySubfoldersIsRecordedAndQueuesNothing() {
        const Location dir = folder(QStringLiteral("outer"));
        folder(QStringLiteral("outer/inner1"));
        write(QStringLiteral("outer/inner2/deep.txt"), 5);
        LogRecorder log;
        SafeQueue::shared().folders.added.add(QList<Location>{dir});
        QVERIFY(!Process::triage());
        QVERIFY(CoreDatabase::contains(dir));
        QCOMPARE(queuedJobs(), 0);
        QCOMPARE(
            log.countContaining("Added folder, but found no files to process [ Process.triage(evaluate:) ]"),
            1);
        QCOMPARE(SafeQueue::shared().folders.added.count(), 0);
    }

    void triageWithNothingQueuedWarns() {
        LogRecorder log;
        QVERIFY(!Process::triage());
        QCOMPARE(log.messages(Level::Warning),
                 QStringList{
                     "Triage process invoked, but no queued items to process [ Process.triage(evaluate:) ]"});
    }

    void anEmptyListStartsNothing() {
        LogRecorder log;
        QFuture<void> done = Process::added(QList<Location>{});
        QVERIFY(done.isFinished());
        QCOMPARE(log.messages(Level::Error), QStringList{"Function was passed an empty Array [ added(_:) ]"});
    }

    // --- the three database cases ----------------------------------------------------

    void anUnchangedFileKeepsItsRecordAndIsQueuedAgain() {
        enable({Digest::SHA1, Digest::SHA256});
        const Location file = write(QStringLiteral("same.bin"), 1000);
        intake(file);
        const FileObjectPtr before = Database::shared().record(file);
        QVERIFY(before);
        const QList<Checksum> digests = before->checksums();

        SafeQueue::shared().files.added.add(QList<Location>{file});
        QVERIFY(Process::triage());
        QCOMPARE(Database::shared().record(file).get(), before.get());
        QCOMPARE(queuedJobs(), 2);
        const std::vector<Job> jobs = SafeQueue::shared().files.queued.data().toVector();
        QCOMPARE(toString(jobs[0].algorithm), toString(Digest::SHA1));
        QCOMPARE(toString(jobs[1].algorithm), toString(Digest::SHA256));
        QCOMPARE(SafeQueue::shared().files.added.count(), 0);

        QVERIFY(Process::process());
        QCOMPARE(Database::shared().record(file).get(), before.get());
        const QList<Checksum> after = before->checksums();
        QCOMPARE(after.size(), 2);
        QVERIFY(after[0].sameDigest(digests[0]));
        QVERIFY(after[1].sameDigest(digests[1]));
    }

    void aTouchedFileGetsAFreshPendingRecord() {
        const Location file = write(QStringLiteral("touched.bin"), 500);
        intake(file);
        const FileObjectPtr before = Database::shared().record(file);
        QCOMPARE(toString(before->status()), toString(FileState::Processed));
        const auto position = Database::shared().indexOf(file);

        struct utimbuf times {
            1000000000, 1000000000
        };
        QCOMPARE(::utime(QFile::encodeName(file.path()).constData(), &times), 0);
        LogRecorder log;
        SafeQueue::shared().files.added.add(QList<Location>{file});
        QVERIFY(Process::triage());
        const FileObjectPtr fresh = Database::shared().record(file);
        QVERIFY(fresh.get() != before.get());
        QCOMPARE(toString(fresh->status()), toString(FileState::Pending));
        QVERIFY(fresh->checksums().isEmpty());
        QCOMPARE(fresh->modified(), 1000000000.0);
        QCOMPARE(Database::shared().indexOf(file), position); // replaced in place
        QCOMPARE(log.messages(Level::Debug)
                     .count("File metadata has changed; updating database record: " + file.path()),
                 1);

        QVERIFY(Process::process());
        QCOMPARE(toString(fresh->status()), toString(FileState::Processed));
        QCOMPARE(fresh->checksums().size(), 1);
    }

    void withNoAlgorithmEnabledFilesAreRecordedButNothingIsQueued() {
        enable({});
        const Location file = write(QStringLiteral("none.bin"), 10);
        FlagStore::shared().set(SubSystem::database, Flag::save, false);
        SafeQueue::shared().files.added.add(QList<Location>{file});
        QVERIFY(Process::triage());
        QVERIFY(Database::shared().record(file));
        QCOMPARE(toString(Database::shared().record(file)->status()), toString(FileState::Pending));
        QCOMPARE(queuedJobs(), 0);
        // The new record alone must reach the file: no digest store will flag the save.
        QVERIFY(EnginePool::waitForDone(20000));
        QVERIFY(FlagStore::shared().get(SubSystem::database, Flag::save));

        LogRecorder log;
        QVERIFY(!Process::process());
        QCOMPARE(log.messages(Level::Warning),
                 QStringList{"Queue processing invoked, but NO files are queued [ Process.process() ]"});
        QCOMPARE(toString(Global::shared().status()), toString(ApplicationState::Idle));
    }

    // --- processing ---------------------------------------------------------------------

    void theVolumeLineCountsBytesAndWholeMegabytes_data() {
        QTest::addColumn<QList<qint64>>("sizes");
        QTest::addColumn<QString>("line");
        QTest::newRow("two files of 1 MiB")
            << QList<qint64>{1048576, 1048576}
            << "Tasks [ 2 ] Data Volume [ 2097152 Bytes ] [ 2 MegaBytes ] [ Process.process() ]";
        QTest::newRow("one byte short of 1 MiB")
            << QList<qint64>{1048575}
            << "Tasks [ 1 ] Data Volume [ 1048575 Bytes ] [ 0 MegaBytes ] [ Process.process() ]";
    }
    void theVolumeLineCountsBytesAndWholeMegabytes() {
        QFETCH(QList<qint64>, sizes);
        QFETCH(QString, line);
        QList<Location> files;
        for (qsizetype i = 0; i < sizes.size(); ++i)
            files << write(QStringLiteral("v%1.bin").arg(i), sizes[i], int(i));
        SafeQueue::shared().files.added.add(files);
        QVERIFY(Process::triage());
        LogRecorder log;
        const auto runsBefore = runsCounted();
        QVERIFY(Process::process());
        QCOMPARE(log.messages(Level::Info).count(line), 1);
        const QString run = QString::number(runsBefore + 1);
        QStringList debug = log.messages(Level::Debug);
        QVERIFY(debug.contains("Queue processing STARTED: [ " + run + " ] [ Process.process() ]"));
        QVERIFY(debug.contains("Queue processing TERMINATING: [ " + run + " ] [ Process.process() ]"));
    }

    void jobsAreAppliedOneByOneInQueueOrder() {
        // Jobs of one record next to each other share one read; a job of the same record
        // further back is computed on its own. Titles and stores follow the queue.
        const Location a = write(QStringLiteral("a.bin"), 3000, 1);
        const Location b = write(QStringLiteral("b.bin"), 4000, 2);
        enable({});
        SafeQueue::shared().files.added.add(QList<Location>{a, b});
        QVERIFY(Process::triage());
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
        QStringList titles;
        for (const QString& title : recorder.titles())
            if (title.startsWith("Processing: "))
                titles << title;
        QCOMPARE(titles,
                 (QStringList{"Processing: a.bin SHA512", "Processing: a.bin MD5", "Processing: b.bin SHA1",
                              "Processing: a.bin SHA256", "Processing: b.bin MD5"}));
        QStringList orderA, orderB;
        for (const Checksum& c : ra->checksums())
            orderA << toString(c.algorithm);
        for (const Checksum& c : rb->checksums())
            orderB << toString(c.algorithm);
        QCOMPARE(orderA, (QStringList{"SHA512", "MD5", "SHA256"}));
        QCOMPARE(orderB, (QStringList{"SHA1", "MD5"}));
        QCOMPARE(Progress::shared().processed() - before.processed, qint64(5));
        // The run starts with every queued job remaining and counts down to none.
        QCOMPARE(recorder.remaining(), (QList<qint64>{5, 4, 3, 2, 1, 0}));
        // The bar moves in file-size steps up to the volume: 3000*3 + 4000*2.
        const QList<std::pair<double, double>> values = recorder.values();
        bool reachedTotal = false;
        for (const auto& [value, total] : values)
            reachedTotal = reachedTotal || (total == 17000.0 && value == 17000.0);
        QVERIFY(reachedTotal);
    }

    void aFileDeletedAfterQueueingStillCompletesTheRun() {
        const Location keep = write(QStringLiteral("keep.bin"), 1500);
        const Location gone = write(QStringLiteral("gone.bin"), 2500);
        enable({Digest::MD5, Digest::SHA1});
        SafeQueue::shared().files.added.add(QList<Location>{gone, keep});
        QVERIFY(Process::triage());
        QVERIFY(QFile::remove(gone.path()));

        LogRecorder log;
        ProgressRecorder recorder;
        QVERIFY(Process::process());
        QCOMPARE(toString(Global::shared().status()), toString(ApplicationState::Idle));
        QCOMPARE(queuedJobs(), 0);
        QVERIFY(Database::shared().record(gone)->checksums().isEmpty());
        QCOMPARE(toString(Database::shared().record(gone)->status()), toString(FileState::Pending));
        QCOMPARE(Database::shared().record(keep)->checksums().size(), 2);
        // Each of the two jobs of the missing file reports its own failure.
        QCOMPARE(log.countContaining("An error occured checksumming the file"), 2);
        bool reachedTotal = false;
        for (const auto& [value, total] : recorder.values())
            reachedTotal = reachedTotal || (total == 8000.0 && value == 8000.0);
        QVERIFY(reachedTotal);
        QCOMPARE(Progress::shared().remaining(), qint64(0));
    }

    void processWhileARunIsActiveLeavesTheQueue() {
        const Location file = write(QStringLiteral("busy.bin"), 10);
        SafeQueue::shared().files.added.add(QList<Location>{file});
        QVERIFY(Process::triage());
        Global::shared().setStatusForTesting(ApplicationState::Processing);
        LogRecorder log;
        const auto runsBefore = runsCounted();
        QVERIFY(!Process::process());
        QCOMPARE(log.messages(Level::Info), QStringList{"Queue processing currently active; do not need more "
                                                        "than one instance [ Process.process() ]"});
        QCOMPARE(queuedJobs(), 1);
        QCOMPARE(runsCounted(), runsBefore);
        Global::shared().setStatusForTesting(ApplicationState::Idle);
        QVERIFY(Process::process());
        QCOMPARE(queuedJobs(), 0);
    }

    void jobsQueuedAsARunEndsAreNotLeftBehind() {
        // Jobs that arrive after the loop found the queue empty, while the state is still
        // Processing (so their own process() call would be turned away), are taken by a
        // further run before process() returns.
        const Location first = write(QStringLiteral("first.bin"), 100, 1);
        const Location late = write(QStringLiteral("late.bin"), 200, 2);
        SafeQueue::shared().files.added.add(QList<Location>{first, late});
        QVERIFY(Process::triage());
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
        QCOMPARE(toString(Global::shared().status()), toString(ApplicationState::Idle));
    }

    void rescanComputesTheDigestsAgain() {
        enable({Digest::SHA1, Digest::SHA512});
        const Location file = write(QStringLiteral("again.bin"), 700);
        intake(file);
        const auto jobsBefore = jobsCounted();
        QVERIFY(Process::rescan(file));
        QCOMPARE(jobsCounted() - jobsBefore, std::int64_t(2));
        QCOMPARE(Database::shared().record(file)->checksums().size(), 2);
        QVERIFY(!Process::rescan(Location(path(QStringLiteral("missing.bin")))));
    }

    // --- refused entries ----------------------------------------------------------------

    void aFifoInAnAddedFolderIsSkippedWithoutBeingOpened() {
        const Location dir = folder(QStringLiteral("pipes"));
        const Location file = write(QStringLiteral("pipes/plain.txt"), 50);
        const QString fifo = path(QStringLiteral("pipes/queue.fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        LogRecorder log;
        intake(dir); // would never finish if the FIFO were opened for reading
        QVERIFY(Database::shared().record(file));
        QVERIFY(!Database::shared().record(Location(fifo)));
        QCOMPARE(log.messages(Level::Error).count("Could not resolve file metadata for: " + fifo), 1);
        QCOMPARE(log.countContaining("Specified location is not a file"), 1);
    }

    void namesAPropertyListCannotCarryAreRefused() {
        const Location dir = folder(QStringLiteral("odd"));
        const Location good = write(QStringLiteral("odd/good.txt"), 5);
        const Location bad = write(QStringLiteral("odd/bad\x01name.txt"), 5);
        LogRecorder log;
        intake(dir);
        QVERIFY(Database::shared().record(good));
        QVERIFY(!Database::shared().record(bad));
        QStringList refused;
        for (const QString& line : log.messages(Level::Error))
            if (line.startsWith("Location refused; its path cannot be stored in the content database: "))
                refused << line;
        QCOMPARE(refused.size(), 1);
        QVERIFY(refused.front().contains("bad\\x01name.txt"));

        // Refused at intake before any bookmark is made for it.
        log.clear();
        const Location other = write(QStringLiteral("elsewhere/other.txt"), 5);
        intake(QList<Location>{bad, other});
        QVERIFY(!Database::shared().record(bad));
        QVERIFY(!BookmarkDatabase::shared().contains(bad));
        QVERIFY(BookmarkDatabase::shared().contains(other));
        QVERIFY(Database::shared().record(other));
        QCOMPARE(
            log.countContaining("content database: " + PlistFile::printable(bad.path()) + " [ added(_:) ]"),
            1);
    }
};

TREVALIN_TEST_MAIN(ProcessTest)
#include "tst_Process.moc"
