// The store's background work: on its own pool (exceptions caught and logged, waited for)
// until the engine installs a runner, and again after uninstall().
#include "LogRecorder.h"
#include "TestMain.h"

#include "store/StoreHooks.h"

#include <QSemaphore>

#include <atomic>
#include <stdexcept>

using namespace trevalin;
using trevalin::test::LogRecorder;

class TestStoreHooks : public QObject {
    Q_OBJECT

private slots:
    void init() { StoreHooks::uninstall(); }

    void standInRunsTasksGuardedAndWaitsForThem() {
        LogRecorder log;
        QSemaphore release;
        std::atomic<int> ran{0};
        StoreHooks::runLow([] { throw std::runtime_error("boom"); });
        StoreHooks::runMedium([&] {
            release.acquire();
            ++ran;
        });
        QVERIFY(!StoreHooks::waitForBackground(50)); // still blocked
        release.release();
        QVERIFY(StoreHooks::waitForBackground(5000));
        QCOMPARE(ran.load(), 1);
        QVERIFY(log.has(
            QStringLiteral("ERROR: Store task ended by an exception: boom [ StoreHooks.run(_:_:) ]")));
    }

    // Tasks go to the installed runner with their priority, waits to its waiter; after
    // uninstall() the stand-in pool runs them again.
    void installedRunnerTakesTheWorkUntilUninstalled() {
        QList<int> calls; // a task's priority, or -1 for a wait
        StoreHooks::installBackground(
            [&](StoreHooks::Priority priority, StoreHooks::Action task) {
                calls.append(int(priority));
                task();
            },
            [&](int) {
                calls.append(-1);
                return true;
            });
        std::atomic<int> ran{0};
        StoreHooks::runLow([&] { ++ran; });
        StoreHooks::runMedium([&] { ++ran; });
        QVERIFY(StoreHooks::waitForBackground(1000));
        QCOMPARE(ran.load(), 2);
        QCOMPARE(calls, (QList<int>{int(StoreHooks::Priority::low), int(StoreHooks::Priority::medium), -1}));

        StoreHooks::uninstall();
        StoreHooks::runLow([&] { ++ran; });
        QVERIFY(StoreHooks::waitForBackground(5000));
        QCOMPARE(ran.load(), 3);
        QCOMPARE(calls.size(), 3);
    }
};

TREVALIN_TEST_MAIN(TestStoreHooks)
#include "tst_StoreHooks.moc"
