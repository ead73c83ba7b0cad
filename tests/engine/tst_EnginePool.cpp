// Tests of the engine pool and the timing constants: pool size, priority order
// of queued tasks, exceptions that never leave a task, and the test-only setter.
#include "engine/EnginePool.h"

#include "LogRecorder.h"
#include "TestMain.h"

#include <QTest>
#include <QThreadPool>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

using namespace trevalin;
using trevalin::test::LogRecorder;

class TestEnginePool : public QObject {
    Q_OBJECT

private slots:
    void sizedForBlockingWork() {
        QVERIFY(EnginePool::pool().maxThreadCount() >= 8);
        QVERIFY(&EnginePool::pool() != QThreadPool::globalInstance());
    }

    // Queued tasks start by priority, highest first, and in submission order within
    // one priority. The pool is narrowed to one thread so the start order is exact.
    void queuedTasksStartByPriority() {
        QThreadPool& pool = EnginePool::pool();
        const int threads = pool.maxThreadCount();
        QVERIFY(EnginePool::waitForDone(10000));
        pool.setMaxThreadCount(1);
        std::mutex m;
        std::condition_variable cv;
        bool release = false;
        std::atomic<bool> blocked{false};
        EnginePool::runMedium([&] {
            blocked = true;
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return release; });
        });
        QTRY_VERIFY(blocked.load());

        QStringList order;
        std::mutex orderMutex;
        auto record = [&](const QString& name) {
            return [&, name] {
                std::lock_guard lock(orderMutex);
                order << name;
            };
        };
        EnginePool::runBackground(record("background"));
        EnginePool::runLow(record("low1"));
        EnginePool::runMedium(record("medium"));
        EnginePool::runHigh(record("high"));
        EnginePool::runLow(record("low2"));
        {
            std::lock_guard lock(m);
            release = true;
        }
        cv.notify_all();
        QVERIFY(EnginePool::waitForDone(10000));
        pool.setMaxThreadCount(threads);
        QCOMPARE(order, (QStringList{"high", "medium", "low1", "low2", "background"}));
    }

    void exceptionsStayInTheTask() {
        LogRecorder log;
        std::atomic<int> after{0};
        EnginePool::runLow([] { throw std::runtime_error("boom"); });
        EnginePool::runLow([] { throw 42; });
        EnginePool::runLow([&] { ++after; });
        EnginePool::run(TaskPriority::Low, nullptr); // ignored
        QVERIFY(EnginePool::waitForDone(10000));
        QCOMPARE(after.load(), 1);
        const QStringList errors = log.messages(Level::Error);
        QCOMPARE(errors.size(), 2);
        QVERIFY(errors.contains("Engine task ended by an exception: boom [ EnginePool.run(_:_:) ]"));
    }
};

TREVALIN_TEST_MAIN(TestEnginePool)
#include "tst_EnginePool.moc"
