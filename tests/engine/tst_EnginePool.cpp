// Tests of the engine pool: an exception thrown by a task ends that task only, is
// logged, and leaves the pool taking further tasks.
#include "engine/EnginePool.h"

#include "LogRecorder.h"
#include "TestMain.h"

#include <QTest>

#include <atomic>
#include <stdexcept>

using namespace trevalin;
using trevalin::test::LogRecorder;

class TestEnginePool : public QObject {
    Q_OBJECT

private slots:
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
