// The store's background work: on its own pool until the engine installs a runner
// (exceptions caught and logged, waited for), on the installed runner afterwards, and
// on its own pool again after uninstall().
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

    void installedRunnerTakesTheWorkUntilUninstalled() {
        QList<int> priorities;
        int waits = 0;
        StoreHooks::installBackground(
            [&](StoreHooks::Priority priority, StoreHooks::Action task) {
                priorities.append(int(priority));
                task();
            },
            [&](int) {
                ++waits;
                return true;
            });
        int ran = 0;
        StoreHooks::runLow([&] { ++ran; });
        StoreHooks::runMedium([&] { ++ran; });
        QCOMPARE(ran, 2);
        QCOMPARE(priorities, (QList<int>{int(StoreHooks::Priority::low), int(StoreHooks::Priority::medium)}));
        QVERIFY(StoreHooks::waitForBackground(1000));
        QCOMPARE(waits, 1);

        StoreHooks::uninstall();
        std::atomic<int> later{0};
        StoreHooks::runLow([&] { ++later; });
        QVERIFY(StoreHooks::waitForBackground(5000));
        QCOMPARE(later.load(), 1);
        QCOMPARE(priorities.size(), 2);
        QCOMPARE(waits, 1);
    }
};

TREVALIN_TEST_MAIN(TestStoreHooks)
#include "tst_StoreHooks.moc"
