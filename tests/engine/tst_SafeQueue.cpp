// Tests of the work queues: order and de-duplication, identity of jobs, refused
// batch types, the debug-gated lines, front removal and snapshot resets.
#include "engine/SafeQueue.h"

#include "LogRecorder.h"
#include "TestMain.h"
#include "model/ThreadSafeCounter.h"
#include "store/Debugging.h"
#include "store/StoreTestSupport.h"

#include <QStringList>
#include <QTest>

#include <vector>

using namespace trevalin;
using trevalin::test::LogRecorder;
using trevalin::test::makeRecord;

namespace {

Location loc(const char* path) {
    return Location(QString::fromUtf8(path));
}

QStringList paths(const ThreadSafeLocationQueue& q) {
    QStringList out;
    for (const Location& l : q.data())
        out << l.path();
    return out;
}

} // namespace

class TestSafeQueue : public QObject {
    Q_OBJECT

private slots:
    void init() { Debugging::setFlagForTesting(false); }

    void locationBatches_data() {
        QTest::addColumn<QStringList>("batch1");
        QTest::addColumn<QStringList>("batch2");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("same URL twice in one batch")
            << QStringList{"/a", "/b", "/a"} << QStringList{} << QStringList{"/a", "/b"};
        QTest::newRow("same URL in two batches")
            << QStringList{"/a", "/b"} << QStringList{"/c", "/a"} << QStringList{"/a", "/b", "/c"};
        QTest::newRow("normalised paths are one location")
            << QStringList{"/x/y"} << QStringList{"/x/./y/", "/x//y"} << QStringList{"/x/y"};
        QTest::newRow("empty batches") << QStringList{} << QStringList{} << QStringList{};
    }
    void locationBatches() {
        QFETCH(QStringList, batch1);
        QFETCH(QStringList, batch2);
        QFETCH(QStringList, expected);
        ThreadSafeLocationQueue q("Test.queue");
        QList<Location> first;
        for (const QString& p : batch1)
            first << Location(p);
        std::vector<Location> second;
        for (const QString& p : batch2)
            second.push_back(Location(p));
        q.add(first);
        q.add(second);
        QCOMPARE(paths(q), expected);
        QCOMPARE(q.count(), int(expected.size()));
    }

    void orderedSetBatchAndRemove() {
        ThreadSafeLocationQueue q("Test.queue");
        q.add(OrderedSet<Location>{loc("/1"), loc("/2"), loc("/3"), loc("/4")});
        QVERIFY(q.remove(loc("/2")));
        QVERIFY(!q.remove(loc("/absent")));
        QCOMPARE(paths(q), (QStringList{"/1", "/3", "/4"}));
        QCOMPARE(q.removeFirst()->path(), QString("/1"));
        q.add(QList<Location>{loc("/2")});
        QCOMPARE(paths(q), (QStringList{"/3", "/4", "/2"}));
        q.replaceData();
        QCOMPARE(q.count(), 0);
        QVERIFY(!q.removeFirst());
    }

    void jobsFromTwoRecordsOfOneFileAreBothKept() {
        ThreadSafeWorkQueue q("Test.jobs");
        auto r1 = makeRecord("/f");
        auto r2 = makeRecord("/f");
        QVERIFY(*r1 == *r2); // metadata-equal records
        const Job a{r1, Digest::SHA1};
        const Job b{r2, Digest::SHA1};
        q.add(QList<Job>{a, b, a});
        q.add(std::vector<Job>{Job{r1, Digest::MD5}, b});
        QCOMPARE(q.count(), 3);
        auto first = q.removeFirst();
        QCOMPARE(first->file.get(), r1.get());
        QVERIFY(first->algorithm == Digest::SHA1);
        QCOMPARE(q.removeFirst()->file.get(), r2.get());
        QVERIFY(q.removeFirst()->algorithm == Digest::MD5);
        QVERIFY(!q.removeFirst());
    }

    void unexpectedTypeLeavesQueueUnchanged_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("typeName");
        QTest::newRow("strings to location queue") << 0 << "Array<String>";
        QTest::newRow("QUrls to location queue") << 1 << "Array<QUrl>";
        QTest::newRow("one location, not a batch") << 2 << "URL";
        QTest::newRow("locations to work queue") << 3 << "Array<URL>";
        QTest::newRow("ordered set of locations to work queue") << 4 << "OrderedSet<URL>";
    }
    void unexpectedTypeLeavesQueueUnchanged() {
        QFETCH(int, kind);
        QFETCH(QString, typeName);
        LogRecorder log;
        ThreadSafeLocationQueue locations("Test.locations");
        ThreadSafeWorkQueue jobs("Test.jobs");
        locations.add(QList<Location>{loc("/keep")});
        auto r = makeRecord("/keep");
        jobs.add(QList<Job>{Job{r, Digest::SHA256}});
        log.clear();

        QString queueType = "ThreadSafeLocationQueue";
        switch (kind) {
        case 0:
            locations.add(QStringList{"/a", "/b"});
            break;
        case 1:
            locations.add(QList<QUrl>{QUrl::fromLocalFile("/a")});
            break;
        case 2:
            locations.add(loc("/a"));
            break;
        case 3:
            jobs.add(QList<Location>{loc("/a")});
            queueType = "ThreadSafeWorkQueue";
            break;
        case 4:
            jobs.add(OrderedSet<Location>{loc("/a")});
            queueType = "ThreadSafeWorkQueue";
            break;
        }
        QCOMPARE(paths(locations), QStringList{"/keep"});
        QCOMPARE(jobs.count(), 1);
        QCOMPARE(log.messages(Level::Error), QStringList{"Generic function received unexpected type [ " +
                                                         typeName + " ] [ " + queueType + ".add(_:) ]"});
    }

    void debugLinesWhenDebugging() {
        Debugging::setFlagForTesting(true);
        LogRecorder log;
        ThreadSafeLocationQueue q("Folders.added");
        q.add(QList<Location>{loc("/a"), loc("/b")});
        q.add(OrderedSet<Location>{loc("/c")});
        q.count();
        q.remove(loc("/a"));
        q.reset();
        q.reset();                // on an empty queue: a count of 0
        q.add(QStringList{"/x"}); // refused, after the same first line
        ThreadSafeWorkQueue w("Files.queued");
        w.add(std::vector<Job>{});
        w.add(OrderedSet<Job, JobIdentityHash, JobIdentityEqual>{});
        w.count();
        QCOMPARE(
            log.messages(Level::Debug),
            (QStringList{
                "Generics function was provided with [ Array<URL> ] content [ "
                "ThreadSafeLocationQueue.add(_:) ]",
                "Generics function was provided with [ OrderedSet<URL> ] content [ "
                "ThreadSafeLocationQueue.add(_:) ]",
                "Locations in [ Folders.added) ] count [ 3 ] [ ThreadSafeLocationQueue.count() ]",
                "Generics function was provided with [ URL ] content [ ThreadSafeLocationQueue.remove(_:) ]",
                "Queue [ Folders.added) ] cleared/reset of elements: [ 2 ] [ ThreadSafeLocationQueue.reset() "
                "]",
                "Queue [ Folders.added) ] cleared/reset of elements: [ 0 ] [ ThreadSafeLocationQueue.reset() "
                "]",
                "Generics function was provided with [ Array<String> ] content [ "
                "ThreadSafeLocationQueue.add(_:) ]",
                "Generics function was provided with [ Array<Job> ] content [ ThreadSafeWorkQueue.add(_:) ]",
                "Generics function was provided with [ OrderedSet<Job> ] content [ "
                "ThreadSafeWorkQueue.add(_:) ]",
                "Locations in [ Files.queued) ] count [ 0 ] [ ThreadSafeWorkQueue.count() ]",
            }));
        QCOMPARE(q.count(), 0);
    }

    void silentWithoutDebugging() {
        LogRecorder log;
        ThreadSafeLocationQueue q("Test.queue");
        q.add(QList<Location>{loc("/a")});
        q.count();
        q.remove(loc("/a"));
        q.reset();
        q.replaceData(OrderedSet<Location>{loc("/z")});
        QVERIFY(log.messages().isEmpty());
        QCOMPARE(paths(q), QStringList{"/z"});
    }

    // A pass that worked through a snapshot takes out only what the snapshot held:
    // locations queued meanwhile by another intake are not lost.
    void resetOfSnapshotKeepsLaterArrivals() {
        ThreadSafeLocationQueue q("Test.queue");
        q.add(QList<Location>{loc("/a"), loc("/b")});
        const auto taken = q.data();
        q.add(QList<Location>{loc("/c"), loc("/a")});
        q.reset(taken);
        QCOMPARE(paths(q), (QStringList{"/c"}));
        q.add(QList<Location>{loc("/d")});
        QCOMPARE(q.discard(q.data()), std::size_t(2));
        QCOMPARE(q.count(), 0);
    }
};

TREVALIN_TEST_MAIN(TestSafeQueue)
#include "tst_SafeQueue.moc"
