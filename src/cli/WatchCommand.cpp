#include "cli/WatchCommand.h"

#include "cli/CtlCommand.h"
#include "engine/ChangeTracking.h"
#include "engine/Engine.h"
#include "engine/EnginePool.h"
#include "engine/FlagStore.h"
#include "engine/FolderNotifications.h"
#include "engine/Global.h"
#include "engine/Monitoring.h"
#include "engine/Timing.h"
#include "logging/Logger.h"
#include "model/FileObject.h"
#include "store/CoreDatabase.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace trevalin {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM};

// The pipe the signal handlers write into; read on the main thread.
int g_signalPipe[2] = {-1, -1};

extern "C" void onStopSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

// The process-level tests shorten the settle interval through this variable, as the
// engine tests do through the setter.
void applyTestTiming() {
    bool ok = false;
    const int settle = qEnvironmentVariableIntValue("TREVALIN_TEST_SETTLE_MS", &ok);
    if (ok && settle >= 0)
        Timing::setForTesting(std::chrono::milliseconds(settle), Timing::startupDelay(),
                              Timing::blinkInterval());
}

} // namespace

// The watch command's place in trevalinctl: the data lock, the loading of the data
// files as every writing command loads them, the run, then the save of everything.
int CtlCommand::runWatch() {
    int status = kExitFailure;
    if (!lockForWriting(&status))
        return status;
    WatchCommand watch([this] {
        Engine::loadAlgorithms();
        loadContent();
        loadBookmarks();
    });
    status = watch.run();
    QString error;
    if (!saveAll(&error))
        return fail(error);
    return status;
}

WatchCommand::WatchCommand(std::function<void()> load, QObject* parent)
    : QObject(parent)
    , m_load(std::move(load)) {}

WatchCommand::~WatchCommand() {
    releaseSignals();
}

bool WatchCommand::catchSignals() {
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kStopSignals) {
        if (::sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    auto* notifier = new QSocketNotifier(qintptr(g_signalPipe[0]), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [notifier] {
        char bytes[16];
        while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        notifier->setEnabled(false);
        QCoreApplication::quit();
    });
    return true;
}

void WatchCommand::releaseSignals() {
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : kStopSignals)
        ::sigaction(signal, &action, nullptr);
}

int WatchCommand::run() {
    if (!catchSignals()) {
        releaseSignals();
        std::fprintf(stderr, "trevalinctl: cannot catch SIGINT and SIGTERM: %s\n", std::strerror(errno));
        return CtlCommand::kExitFailure;
    }
    applyTestTiming();

    // The desktop program's wiring: the flag store saves the data files after every
    // burst of work, start-up completion runs the clean-up pass and starts monitoring.
    Engine::start({.persistence = true, .monitoring = true});
    m_load();
    // The records as loaded are the starting point: the load's own change batch goes
    // out now, before anyone listens.
    Database& database = Database::shared();
    database.flushChanges();
    for (const FileObjectPtr& record : database.values()) {
        const FileObjectData d = record->snapshot();
        m_seen.insert(d.location, Seen{d.identifier, d.bytes, d.created, d.modified});
    }
    connect(&database, &Database::recordsChanged, this, &WatchCommand::recordsChanged, Qt::QueuedConnection);
    connect(&Global::shared(), &Global::statusChanged, this, &WatchCommand::statusChanged,
            Qt::QueuedConnection);
    Global& global = Global::shared();
    if (global.status() != ApplicationState::Idle)
        global.set(ApplicationState::Idle); // no splash screen here: ready for work
    const int monitored = int(CoreDatabase::monitoredFolders().size());
    TLOG_INFO(
        QStringLiteral("trevalinctl watch: monitoring %1 folder(s) until SIGINT or SIGTERM").arg(monitored));
    if (monitored == 0)
        std::fputs(
            "trevalinctl: no folder is monitored (see \"trevalinctl monitor\"); waiting for a signal\n",
            stderr);
    FlagStore& flags = FlagStore::shared();
    flags.set(SubSystem::database, Flag::ready, true);
    flags.set(SubSystem::bookmarks, Flag::ready, true);

    QCoreApplication::exec();

    // Stop: no further events, the watch loop gives up its files, running work ends.
    releaseSignals();
    TLOG_INFO(QStringLiteral("trevalinctl watch: stopping"));
    FolderNotifications::shared().cease();
    ChangeTracking::abandonWatchedFiles();
    EnginePool::waitForDone();
    database.flushChanges();
    QCoreApplication::sendPostedEvents(this);
    for (const Location& location : QList<Location>(m_pending.cbegin(), m_pending.cend()))
        report(location, true);
    return CtlCommand::kExitOk;
}

void WatchCommand::recordsChanged(const RecordChanges& changes) {
    if (changes.reset) {
        // The collection was replaced as a whole: compare all of it with what was said.
        QSet<Location> now;
        for (const FileObjectPtr& record : Database::shared().values())
            now.insert(record->location());
        for (const Location& location : QList<Location>(m_seen.keyBegin(), m_seen.keyEnd())) {
            if (!now.contains(location)) {
                m_seen.remove(location);
                print(QStringLiteral("removed ") + location.path());
            }
        }
        m_pending.intersect(now);
        for (const Location& location : now) {
            m_pending.insert(location);
            report(location, false);
        }
        return;
    }
    for (const Location& location : changes.removed) {
        m_pending.remove(location);
        if (m_seen.remove(location))
            print(QStringLiteral("removed ") + location.path());
    }
    for (const QList<Location>* keys : {&changes.inserted, &changes.changed}) {
        for (const Location& location : *keys) {
            m_pending.insert(location);
            report(location, false);
        }
    }
}

void WatchCommand::statusChanged(ApplicationState state) {
    // The end of a burst: a record that no digest will settle (none enabled, or the
    // file could not be read) is reported as it is.
    if (state != ApplicationState::Idle)
        return;
    for (const Location& location : QList<Location>(m_pending.cbegin(), m_pending.cend()))
        report(location, true);
}

void WatchCommand::report(const Location& location, bool force) {
    if (!m_pending.contains(location))
        return;
    const FileObjectPtr record = Database::shared().record(location);
    if (!record) {
        m_pending.remove(location); // its removal comes in a later batch
        return;
    }
    const FileObjectData d = record->snapshot();
    if (!force && (d.status == FileState::Pending || d.status == FileState::Changing))
        return; // not hashed yet
    m_pending.remove(location);
    const Seen now{d.identifier, d.bytes, d.created, d.modified};
    const auto it = m_seen.constFind(location);
    if (it != m_seen.constEnd() && *it == now)
        return; // a further digest of a record already reported
    print((it == m_seen.constEnd() ? QStringLiteral("added ") : QStringLiteral("changed ")) +
          location.path());
    m_seen.insert(location, now);
}

void WatchCommand::print(const QString& line) {
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace trevalin
