#include "engine/EnginePool.h"

#include "logging/Logger.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <exception>

namespace trevalin {

QThreadPool& EnginePool::pool() {
    static QThreadPool* instance = [] {
        auto* p = new QThreadPool();
        p->setObjectName(QStringLiteral("EnginePool"));
        p->setMaxThreadCount(std::max(kMinimumThreads, 2 * QThread::idealThreadCount()));
        return p;
    }();
    return *instance;
}

void EnginePool::run(TaskPriority priority, std::function<void()> task) {
    if (!task)
        return;
    pool().start(
        [task = std::move(task)] {
            try {
                task();
            } catch (const std::exception& e) {
                const QString what = QString::fromLocal8Bit(e.what());
                TLOG_ERROR(QStringLiteral("Engine task ended by an exception: ") + what +
                           QStringLiteral(" [ EnginePool.run(_:_:) ]"));
            } catch (...) {
                TLOG_ERROR(
                    QStringLiteral("Engine task ended by an unknown exception [ EnginePool.run(_:_:) ]"));
            }
        },
        static_cast<int>(priority));
}

bool EnginePool::waitForDone(int msecs) {
    return pool().waitForDone(msecs);
}

} // namespace trevalin
