// Tests of the work queues: order and de-duplication, identity of jobs, refused
// batch types, removal and snapshot resets.
#include "engine/SafeQueue.h"

#include "LogRecorder.h"
#include "TestMain.h"
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

    // Removal of one location, of the first, of everything; a pass that worked through a
    // snapshot takes out only what the snapshot held: locations queued meanwhile by
    // another intake are not lost.
    void removalAndSnapshotResets() {
        ThreadSafeLocationQueue q("Test.queue");
        q.add(OrderedSet<Location>{loc("/1"), loc("/2"), loc("/3"), loc("/4")});
        QVERIFY(q.remove(loc("/2")));
        QVERIFY(!q.remove(loc("/absent")));
        QCOMPARE(paths(q), (QStringList{"/1", "/3", "/4"}));
        QCOMPARE(q.removeFirst()->path(), QString("/1"));
        q.add(QList<Location>{loc("/2")});
        QCOMPARE(paths(q), (QStringList{"/3", "/4", "/2"}));
        const auto taken = q.data();
        q.add(QList<Location>{loc("/c"), loc("/3")});
        q.reset(taken);
        QCOMPARE(paths(q), (QStringList{"/c"}));
        q.add(QList<Location>{loc("/d")});
        QCOMPARE(q.discard(q.data()), std::size_t(2));
        q.replaceData(OrderedSet<Location>{loc("/z")});
        QCOMPARE(paths(q), QStringList{"/z"});
        q.replaceData();
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

    // A batch of a type the queue does not take is refused with an error line; the
    // queue is left as it was.
    void unexpectedTypesLeaveTheQueuesUnchanged() {
        ThreadSafeLocationQueue locations("Test.locations");
        ThreadSafeWorkQueue jobs("Test.jobs");
        locations.add(QList<Location>{loc("/keep")});
        jobs.add(QList<Job>{Job{makeRecord("/keep"), Digest::SHA256}});
        LogRecorder log;
        locations.add(loc("/a")); // one location, not a batch
        jobs.add(QList<Location>{loc("/a")});
        QCOMPARE(paths(locations), QStringList{"/keep"});
        QCOMPARE(jobs.count(), 1);
        QCOMPARE(log.messages(Level::Error).size(), 2);
    }
};

TREVALIN_TEST_MAIN(TestSafeQueue)
#include "tst_SafeQueue.moc"
