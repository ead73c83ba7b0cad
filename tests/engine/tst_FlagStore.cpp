// Tests of the flag store: start-up completion exactly once in either order and
// under racing threads, and save() in its order with failures that keep the flag
// for the next save.
#include "engine/EnginePool.h"
#include "engine/FlagStore.h"

#include "LogRecorder.h"
#include "TestMain.h"
#include "store/Debugging.h"

#include <QTest>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace trevalin;
using trevalin::test::LogRecorder;

namespace {

const QString kReady = "Database content and security bookmarks in coherent/ready state [ "
                       "FlagStore.set(component:flag:state:) ]";

} // namespace

class TestFlagStore : public QObject {
    Q_OBJECT

private slots:
    void init() { Debugging::setFlagForTesting(false); }

    // The start-up timestamp is taken only when debugging.
    void startupCompletesOnceInEitherOrder_data() {
        QTest::addColumn<bool>("bookmarksFirst");
        QTest::addColumn<bool>("debugging");
        QTest::newRow("database first, debugging") << false << true;
        QTest::newRow("bookmarks first") << true << false;
    }
    void startupCompletesOnceInEitherOrder() {
        QFETCH(bool, bookmarksFirst);
        QFETCH(bool, debugging);
        Debugging::setFlagForTesting(debugging);
        FlagStore f;
        f.initialise();
        std::atomic<int> cleanUp{0}, monitoring{0}, stamps{0};
        f.addStartupCompletionHook([&] { ++cleanUp; });
        f.addStartupCompletionHook([&] { ++monitoring; });
        f.setStartupTimestamp([&] { ++stamps; });
        LogRecorder log;
        const SubSystem firstReady = bookmarksFirst ? SubSystem::bookmarks : SubSystem::database;
        const SubSystem secondReady = bookmarksFirst ? SubSystem::database : SubSystem::bookmarks;

        f.set(firstReady, Flag::ready, true);
        f.set(SubSystem::database, Flag::save, true); // other flags do not complete start-up
        QVERIFY(f.startup());
        QVERIFY(EnginePool::waitForDone(5000));
        QCOMPARE(cleanUp.load(), 0);

        f.set(secondReady, Flag::ready, true);
        QVERIFY(!f.startup());
        f.set(firstReady, Flag::ready, true); // a repeated "ready" does nothing more
        f.set(secondReady, Flag::ready, true);
        QVERIFY(EnginePool::waitForDone(5000));
        QCOMPARE(cleanUp.load(), 1);
        QCOMPARE(monitoring.load(), 1);
        QCOMPARE(stamps.load(), debugging ? 1 : 0);
        QCOMPARE(log.messages(Level::Info), QStringList{kReady});

        // Registered after completion: started at once.
        f.addStartupCompletionHook([&] { ++cleanUp; });
        QVERIFY(EnginePool::waitForDone(5000));
        QCOMPARE(cleanUp.load(), 2);
    }

    // 16 threads each report both "ready" flags (and noise) at once: completion runs once.
    void racingReadyFlags() {
        for (int round = 0; round < 20; ++round) {
            FlagStore f;
            f.initialise();
            std::atomic<int> completions{0};
            f.addStartupCompletionHook([&] { ++completions; });
            std::atomic<bool> go{false};
            std::vector<std::thread> threads;
            for (int t = 0; t < 16; ++t) {
                threads.emplace_back([&, t] {
                    while (!go)
                        std::this_thread::yield();
                    const SubSystem s = (t % 2) ? SubSystem::database : SubSystem::bookmarks;
                    f.set(SubSystem::watching, Flag::active, t % 3 == 0);
                    f.set(s, Flag::ready, true);
                    f.set(s == SubSystem::database ? SubSystem::bookmarks : SubSystem::database, Flag::ready,
                          true);
                });
            }
            go = true;
            for (auto& t : threads)
                t.join();
            QVERIFY(EnginePool::waitForDone(5000));
            QCOMPARE(completions.load(), 1);
            QVERIFY(!f.startup());
        }
    }

    void save_data() {
        QTest::addColumn<bool>("bookmarksFlag");
        QTest::addColumn<bool>("contentFlag");
        QTest::addColumn<int>("bookmarkResult"); // 1 ok, 0 false, -1 throws
        QTest::addColumn<int>("contentResult");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QStringList>("lines");
        const QString bm = "Modified security bookmarks database needs to be saved [ FlagStore.save() ]";
        const QString db = "Modified content database needs to be saved [ FlagStore.save() ]";
        const QString bmErr = "Unable to save security bookmarks database to disk [ FlagStore.save() ]";
        const QString dbErr = "Unable to save content database to disk [ FlagStore.save() ]";
        QTest::newRow("nothing flagged") << false << false << 1 << 1 << QStringList{"flush"} << QStringList{};
        QTest::newRow("content only")
            << false << true << 1 << 1 << QStringList{"content", "flush"} << QStringList{db};
        QTest::newRow("bookmarks only")
            << true << false << 1 << 1 << QStringList{"bookmarks", "flush"} << QStringList{bm};
        QTest::newRow("both, bookmarks first")
            << true << true << 1 << 1 << QStringList{"bookmarks", "content", "flush"} << QStringList{bm, db};
        QTest::newRow("bookmarks fail, content still saved")
            << true << true << 0 << 1 << QStringList{"bookmarks", "content", "flush"}
            << QStringList{bm, bmErr, db};
        QTest::newRow("bookmarks throw")
            << true << false << -1 << 1 << QStringList{"bookmarks", "flush"} << QStringList{bm, bmErr};
        QTest::newRow("content fails, store still flushed")
            << false << true << 1 << 0 << QStringList{"content", "flush"} << QStringList{db, dbErr};
        QTest::newRow("content throws")
            << false << true << 1 << -1 << QStringList{"content", "flush"} << QStringList{db, dbErr};
    }
    void save() {
        QFETCH(bool, bookmarksFlag);
        QFETCH(bool, contentFlag);
        QFETCH(int, bookmarkResult);
        QFETCH(int, contentResult);
        QFETCH(QStringList, calls);
        QFETCH(QStringList, lines);
        FlagStore f;
        f.initialise();
        f.set(SubSystem::bookmarks, Flag::save, bookmarksFlag);
        f.set(SubSystem::database, Flag::save, contentFlag);
        QStringList seen;
        auto saver = [&](const QString& name, int result, SubSystem subsystem) {
            return [&f, &seen, name, result, subsystem]() -> bool {
                seen << name;
                if (result < 0)
                    throw std::runtime_error("disk full");
                if (result > 0)
                    f.set(subsystem, Flag::save, false); // a saver clears its own flag
                return result > 0;
            };
        };
        f.setBookmarkSaver(saver("bookmarks", bookmarkResult, SubSystem::bookmarks));
        f.setContentSaver(saver("content", contentResult, SubSystem::database));
        f.setFolderStoreFlush([&] { seen << "flush"; });
        LogRecorder log;
        f.save();
        QCOMPARE(seen, calls);
        QCOMPARE(log.messages(), lines);
        // A failed save leaves its flag set, so the next save tries again.
        QCOMPARE(f.get(SubSystem::bookmarks, Flag::save), bookmarksFlag && bookmarkResult <= 0);
        QCOMPARE(f.get(SubSystem::database, Flag::save), contentFlag && contentResult <= 0);
    }

    // Concurrent saves run one after another.
    void savesAreSerialised() {
        FlagStore f;
        std::atomic<int> inside{0}, maxInside{0}, flushes{0};
        f.setFolderStoreFlush([&] {
            const int now = ++inside;
            int seen = maxInside.load();
            while (now > seen && !maxInside.compare_exchange_weak(seen, now)) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            --inside;
            ++flushes;
        });
        for (int i = 0; i < 8; ++i)
            EnginePool::runLow([&] { f.save(); });
        QVERIFY(EnginePool::waitForDone(10000));
        QCOMPARE(flushes.load(), 8);
        QCOMPARE(maxInside.load(), 1);
    }
};

TREVALIN_TEST_MAIN(TestFlagStore)
#include "tst_FlagStore.moc"
