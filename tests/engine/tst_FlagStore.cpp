// Tests of the flag store: start-up completion exactly once, and save() in its order
// with failures that keep the flag for the next save.
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

        // Registered after completion: started at once.
        f.addStartupCompletionHook([&] { ++cleanUp; });
        QVERIFY(EnginePool::waitForDone(5000));
        QCOMPARE(cleanUp.load(), 2);
    }

    // 16 threads report the two "ready" flags at once: completion runs once.
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
                    f.set(t % 2 ? SubSystem::database : SubSystem::bookmarks, Flag::ready, true);
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
        QTest::addColumn<QStringList>("errors");
        const QString bm = "Unable to save security bookmarks database to disk [ FlagStore.save() ]";
        const QString db = "Unable to save content database to disk [ FlagStore.save() ]";
        const auto row = [](const char* name, bool bookmarks, bool content, int bookmarkResult,
                            int contentResult, const QStringList& calls, const QStringList& errors) {
            QTest::newRow(name) << bookmarks << content << bookmarkResult << contentResult << calls << errors;
        };
        row("nothing flagged", false, false, 1, 1, {"flush"}, {});
        row("content only", false, true, 1, 1, {"content", "flush"}, {});
        row("bookmarks only", true, false, 1, 1, {"bookmarks", "flush"}, {});
        row("both, bookmarks first", true, true, 1, 1, {"bookmarks", "content", "flush"}, {});
        row("bookmarks fail, content still saved", true, true, 0, 1, {"bookmarks", "content", "flush"}, {bm});
        row("bookmarks throw", true, false, -1, 1, {"bookmarks", "flush"}, {bm});
        row("content fails, store still flushed", false, true, 1, 0, {"content", "flush"}, {db});
        row("content throws", false, true, 1, -1, {"content", "flush"}, {db});
    }

    void save() {
        QFETCH(bool, bookmarksFlag);
        QFETCH(bool, contentFlag);
        QFETCH(int, bookmarkResult);
        QFETCH(int, contentResult);
        QFETCH(QStringList, calls);
        QFETCH(QStringList, errors);
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
        QCOMPARE(log.messages(Level::Error), errors);
        // A failed save leaves its flag set, so the next save tries again.
        QCOMPARE(f.get(SubSystem::bookmarks, Flag::save), bookmarksFlag && bookmarkResult <= 0);
        QCOMPARE(f.get(SubSystem::database, Flag::save), contentFlag && contentResult <= 0);
    }

    // Concurrent saves run one after another.
    void savesAreSerialised() {
        FlagStore f;
        std::atomic<int> inside{0}, flushes{0};
        std::atomic<bool> overlapped{false};
        f.setFolderStoreFlush([&] {
            overlapped = overlapped || ++inside > 1;
            for (int i = 0; i < 1000; ++i) // long enough for another save to come in
                std::this_thread::yield();
            --inside;
            ++flushes;
        });
        for (int i = 0; i < 8; ++i)
            EnginePool::runLow([&] { f.save(); });
        QVERIFY(EnginePool::waitForDone(10000));
        QCOMPARE(flushes.load(), 8);
        QVERIFY(!overlapped);
    }
};

TREVALIN_TEST_MAIN(TestFlagStore)
#include "tst_FlagStore.moc"
