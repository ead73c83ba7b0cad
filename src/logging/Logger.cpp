#include "logging/Logger.h"

#include "logging/BaseDestination.h"
#include "logging/LogEntry.h"
#include "logging/SerialQueue.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

namespace trevalin {

namespace {

using DestinationList = std::vector<std::shared_ptr<BaseDestination>>;

struct LoggerState {
    std::mutex mutex;
    // Copy-on-write snapshot, so a log call holds the mutex only to copy a pointer.
    std::shared_ptr<const DestinationList> destinations =
        std::make_shared<DestinationList>(); // guarded by mutex

    ~LoggerState() {
        // Let queued lines reach their destinations before the process ends; the
        // destinations' workers are joined as the last references go.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        for (const auto& destination : *destinations) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            destination->queue().waitUntilDrained(int(std::max<qint64>(0, left.count())));
        }
    }
};

LoggerState& state() {
    static LoggerState s;
    return s;
}

std::shared_ptr<const DestinationList> snapshot() {
    LoggerState& s = state();
    std::lock_guard lock(s.mutex);
    return s.destinations;
}

thread_local QString t_threadLabel;
thread_local QString t_threadDescription;

qint64 nowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

QString describeCurrentThread() {
    char name[32] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    const long tid = long(syscall(SYS_gettid));
    return QStringLiteral("<Thread: 0x%1>{number = %2, name = %3}")
        .arg(quintptr(QThread::currentThreadId()), 0, 16)
        .arg(tid)
        .arg(name[0] ? QString::fromLocal8Bit(name) : QStringLiteral("(null)"));
}

} // namespace

void Logger::addDestination(const std::shared_ptr<BaseDestination>& destination) {
    if (!destination)
        return;
    LoggerState& s = state();
    std::lock_guard lock(s.mutex);
    for (const auto& d : *s.destinations) {
        if (d == destination)
            return;
    }
    auto list = std::make_shared<DestinationList>(*s.destinations);
    list->push_back(destination);
    s.destinations = std::move(list);
}

bool Logger::removeDestination(const std::shared_ptr<BaseDestination>& destination) {
    LoggerState& s = state();
    std::lock_guard lock(s.mutex);
    auto list = std::make_shared<DestinationList>(*s.destinations);
    const auto before = list->size();
    std::erase(*list, destination);
    if (list->size() == before)
        return false;
    s.destinations = std::move(list);
    return true;
}

void Logger::removeAllDestinations() {
    LoggerState& s = state();
    std::lock_guard lock(s.mutex);
    s.destinations = std::make_shared<DestinationList>();
}

std::vector<std::shared_ptr<BaseDestination>> Logger::destinations() {
    return *snapshot();
}

int Logger::countDestinations() {
    return int(snapshot()->size());
}

void Logger::verbose(const MessageFn& message, const char* file, const char* function, int line,
                     const QVariant& context) {
    custom(Level::Verbose, message, file, function, line, context);
}

void Logger::debug(const MessageFn& message, const char* file, const char* function, int line,
                   const QVariant& context) {
    custom(Level::Debug, message, file, function, line, context);
}

void Logger::info(const MessageFn& message, const char* file, const char* function, int line,
                  const QVariant& context) {
    custom(Level::Info, message, file, function, line, context);
}

void Logger::warning(const MessageFn& message, const char* file, const char* function, int line,
                     const QVariant& context) {
    custom(Level::Warning, message, file, function, line, context);
}

void Logger::error(const MessageFn& message, const char* file, const char* function, int line,
                   const QVariant& context) {
    custom(Level::Error, message, file, function, line, context);
}

void Logger::custom(Level level, const MessageFn& message, const char* file, const char* function, int line,
                    const QVariant& context) {
    const std::shared_ptr<const DestinationList> destinations = snapshot();
    // Most entries below every destination's level end here, before any work.
    const bool anyMayTake = std::any_of(destinations->begin(), destinations->end(), [&](const auto& d) {
        return int(level) >= int(d->minLevel()) || d->debugPrint();
    });
    if (!anyMayTake)
        return;

    const qint64 timeUs = nowUs();
    const QString threadName = currentThreadName();
    const QString filePath = QString::fromUtf8(file ? file : "");
    const QString functionName = shortenFunctionName(QString::fromUtf8(function ? function : ""));

    // The message is resolved at most once, shared by every destination that takes it.
    std::optional<QString> resolved;
    auto resolve = [&]() -> QString {
        if (!resolved) {
            try {
                resolved = message ? message() : QString();
            } catch (...) {
                resolved = QString();
            }
        }
        return *resolved;
    };
    std::shared_ptr<const LogEntry> entry;

    for (const auto& destination : *destinations) {
        if (!destination->shouldLevelBeLogged(level, filePath, functionName, resolve))
            continue;
        if (!entry) {
            auto made = std::make_shared<LogEntry>();
            made->level = level;
            made->message = resolve();
            made->thread = threadName;
            made->file = filePath;
            made->function = functionName;
            made->line = line;
            made->context = context;
            made->timeUs = timeUs;
            entry = std::move(made);
        }
        auto task = [destination, entry] { destination->send(*entry); };
        if (destination->asynchronously())
            destination->queue().async(std::move(task));
        else
            destination->queue().sync(std::move(task));
    }
}

bool Logger::flush(double seconds) {
    const std::shared_ptr<const DestinationList> destinations = snapshot();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::microseconds(qint64(std::max(0.0, seconds) * 1e6));
    bool all = true;
    for (const auto& destination : *destinations) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (!destination->queue().waitUntilDrained(int(std::max<qint64>(0, left))))
            all = false;
    }
    return all;
}

QString Logger::shortenFunctionName(const QString& function) {
    const qsizetype paren = function.indexOf(u'(');
    if (paren < 0)
        return function;
    return function.left(paren) + QStringLiteral("()");
}

QString Logger::currentThreadName() {
    if (isMainThread())
        return QString();
    if (!t_threadLabel.isEmpty())
        return t_threadLabel;
    const QString queueLabel = SerialQueue::currentLabel();
    if (!queueLabel.isEmpty())
        return queueLabel;
    if (QThread* thread = QThread::currentThread()) {
        const QString name = thread->objectName();
        if (!name.isEmpty())
            return name;
    }
    if (t_threadDescription.isEmpty())
        t_threadDescription = describeCurrentThread();
    return t_threadDescription;
}

QString Logger::currentThreadDescription() {
    QThread* thread = QThread::currentThread();
    QString name = thread ? thread->objectName() : QString();
    if (name.isEmpty())
        name = QStringLiteral("(null)");
    return QStringLiteral("<QThread: 0x%1>{number = %2, name = %3}")
        .arg(reinterpret_cast<quintptr>(thread), 0, 16)
        .arg(static_cast<long>(::syscall(SYS_gettid)))
        .arg(name);
}

bool Logger::isMainThread() {
    if (QCoreApplication* app = QCoreApplication::instance())
        return QThread::currentThread() == app->thread();
    // No application: the thread that started the process. Asked once per thread,
    // as system calls are the dearest part of a log call.
    thread_local const bool startedProcess = syscall(SYS_gettid) == getpid();
    return startedProcess;
}

void Logger::setThreadLabel(const QString& label) {
    t_threadLabel = label;
}

} // namespace trevalin
