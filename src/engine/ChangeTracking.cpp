// Change tracking of stored folders: the one-folder pass, the pass over every
// stored folder, the watch loop for files that are still being written, and the
// orphan scan. These are members of Process (declared in Process.h); their state and
// helpers are ChangeTracking's (ChangeTracking.h).
//
// Waiting: a pass takes the first readings of all the files it must check, sleeps
// one settle interval, then takes all second readings; the watch loop does the same
// for every round over its list. So any number of files settles in about one
// interval, whatever the number of threads.
//
// A pass that switches the application to Evaluating and then finds no work (the
// new file went away before it settled, could not be read, or no algorithm is
// enabled) returns it to Idle when it ends; so does the watch loop when its last
// file goes away. Nothing waiting means nothing waits for triage, processing or the
// watch loop, and no processing run is active.
#include "engine/ChangeTracking.h"

#include "engine/Process.h"

#include "engine/EnginePool.h"
#include "engine/FlagStore.h"
#include "engine/Global.h"
#include "engine/SafeQueue.h"
#include "engine/Timing.h"
#include "logging/LogTag.h"
#include "logging/Logger.h"
#include "model/DigestState.h"
#include "model/FileObject.h"
#include "model/FileSystem.h"
#include "model/Job.h"
#include "model/OrderedSet.h"
#include "model/ThreadSafeCounter.h"
#include "store/AppSettings.h"
#include "store/CoreDatabase.h"
#include "store/Database.h"
#include "store/Debugging.h"
#include "store/PlistFile.h"

#include <QHash>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>

#include <unistd.h>

namespace trevalin {

namespace {

const QString kFolderTag = QStringLiteral("Process.triage(_:)");
const QString kAllTag = QStringLiteral("Process.triageAll()");
const QString kWatchTag = QStringLiteral("Process.watch()");
const QString kOrphanTag = QStringLiteral("Process.orphaned(_:)");
const QString kRecoveryTag = QStringLiteral("Process.errorRecovery(_:)");

void settle() {
    Timing::waitSettleInterval();
}

// A fresh record of the file on disk, or null when it cannot be read (the reason
// is logged by FileObject).
FileObjectPtr reading(const Location& location) {
    try {
        return FileObject::create(location, false);
    } catch (const std::exception&) {
        return nullptr;
    }
}

std::atomic<bool> g_processingStarter{false}; // a startProcessing() task runs

// The children of one pass over every folder, and their join.
struct TaskGroup {
    ThreadSafeCounter counter;
    std::mutex mutex;
    std::condition_variable done;
    int remaining = 0; // guarded by mutex
};

} // namespace

ChangeTracking::WatchState& ChangeTracking::watchState() {
    static WatchState state;
    return state;
}

ChangeTracking::EvaluationState& ChangeTracking::evaluationState() {
    static EvaluationState state;
    return state;
}

void ChangeTracking::endEvaluationWithoutWork() {
    SafeQueue& queues = SafeQueue::shared();
    if (Global::shared().status() != ApplicationState::Evaluating)
        return;
    if (!queues.files.added.isEmpty() || !queues.folders.added.isEmpty() || !queues.files.watched.isEmpty() ||
        !queues.files.queued.isEmpty() || Process::isProcessing())
        return;
    // A run that starts meanwhile moves the state on first; then this does nothing.
    Global::shared().change(ApplicationState::Evaluating, ApplicationState::Idle);
}

ChangeTracking::Evaluation::Evaluation() {
    EvaluationState& state = evaluationState();
    std::lock_guard lock(state.mutex);
    ++state.passes;
    Global::shared().set(ApplicationState::Evaluating);
}

ChangeTracking::Evaluation::~Evaluation() {
    EvaluationState& state = evaluationState();
    std::lock_guard lock(state.mutex);
    if (--state.passes == 0)
        endEvaluationWithoutWork();
}

bool ChangeTracking::runTriage() {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    return Process::triage();
}

// A run that is just ending may no longer see jobs queued a moment ago, so the task
// looks again each settle interval while a run is active, until the queue is empty.
void ChangeTracking::startProcessing() {
    if (g_processingStarter.exchange(true))
        return;
    EnginePool::runMedium([] {
        SafeQueue& queues = SafeQueue::shared();
        if (!queues.files.added.data().isEmpty() || !queues.folders.added.data().isEmpty())
            runTriage();
        for (;;) {
            if (queues.files.queued.data().isEmpty()) {
                g_processingStarter = false;
                // Jobs queued between the test and the reset are taken here, unless a
                // new task has already taken over.
                if (queues.files.queued.data().isEmpty() || g_processingStarter.exchange(true))
                    return;
                continue;
            }
            if (Global::shared().status() == ApplicationState::Processing)
                settle();
            else
                Process::process();
        }
    });
}

void ChangeTracking::awaitWatchedFiles(const Location& folder) {
    WatchState& state = watchState();
    ThreadSafeLocationQueue& watched = SafeQueue::shared().files.watched;
    const auto holdsFilesOfFolder = [&] {
        const OrderedSet<Location> urls = watched.data();
        return std::any_of(urls.begin(), urls.end(),
                           [&](const Location& url) { return url.parent() == folder; });
    };
    Process::watch(); // runs the loop here when none runs; returns at once otherwise
    std::unique_lock lock(state.mutex);
    while (holdsFilesOfFolder()) {
        if (!state.running) {
            // The loop ended, and files of the folder came after its last look.
            lock.unlock();
            Process::watch();
            lock.lock();
            continue;
        }
        // Another thread runs the loop: wait for its next round, or its end, for one
        // settle interval at most; then look again.
        const quint64 seen = state.rounds;
        const auto limit = std::max(Timing::settleInterval(), std::chrono::milliseconds(1));
        state.roundEnded.wait_for(lock, limit, [&] { return state.rounds != seen || !state.running; });
    }
}

void ChangeTracking::abandonWatchedFiles() {
    WatchState& state = watchState();
    ThreadSafeLocationQueue& watched = SafeQueue::shared().files.watched;
    std::lock_guard lock(state.mutex);
    const qsizetype count = watched.data().size();
    if (count == 0)
        return;
    TLOG_INFO(QStringLiteral("Watched files left unprocessed at shut-down: ") + QString::number(count) +
              logTag(kWatchTag));
    watched.reset();
    state.readings.clear();
    state.roundEnded.notify_all();
}

void Process::triageAll() {
    if (AppSettings::shared().autoLaunch()) {
        TLOG_VERBOSE(QStringLiteral("Sleeping for a while before proceeding with work") + logTag(kAllTag));
        Timing::waitStartupDelay();
    }
    const QList<Location> folders = CoreDatabase::allFolders();
    TLOG_INFO(QStringLiteral("Checking [ ") + QString::number(folders.size()) +
              QStringLiteral(" ] folder location(s) for modifications") + logTag(kAllTag));
    const bool debugging = Debugging::flag();
    if (debugging)
        TLOG_DEBUG(QStringLiteral("Current thread ") + Logger::currentThreadDescription() + logTag(kAllTag));

    auto group = std::make_shared<TaskGroup>();
    group->remaining = int(folders.size());
    for (const Location& folder : folders) {
        EnginePool::runLow([group, folder, debugging] {
            struct Leave {
                TaskGroup& group;
                ~Leave() {
                    std::lock_guard lock(group.mutex);
                    if (--group.remaining == 0)
                        group.done.notify_all();
                }
            } leave{*group};
            const auto n = group->counter.increment();
            if (debugging)
                TLOG_DEBUG(QStringLiteral("OrphanTask [ ") + QString::number(n) + QStringLiteral(" ] ") +
                           folder.urlText() + logTag(kAllTag));
            triage(folder);
        });
    }
    {
        std::unique_lock lock(group->mutex);
        group->done.wait(lock, [&] { return group->remaining == 0; });
    }
    process();
}

bool Process::triage(const Location& folder, OrphanScan orphans) {
    const auto scanOrphans = [folder] {
        orphaned(folder);
        Global::shared().scheduleSave();
    };
    if (orphans == OrphanScan::Awaited)
        scanOrphans();
    else
        EnginePool::runBackground(scanOrphans);

    const bool debugging = Debugging::flag();
    SafeQueue& queues = SafeQueue::shared();
    Database& database = Database::shared();

    QList<Location> listed;
    try {
        listed = FileSystem(folder).directoryContents();
    } catch (const std::exception&) {
        TLOG_WARNING(QStringLiteral("Monitored folder location could not be listed: ") + folder.path() +
                     logTag(kFolderTag));
        return false;
    }
    // Only regular files with a path the database can hold ever become records; a FIFO,
    // socket or device in the folder is neither counted nor opened.
    QList<Location> files;
    files.reserve(listed.size());
    for (const Location& url : listed) {
        if (!FileSystem(url).isRegularFile())
            continue;
        if (!Database::isStorable(url)) {
            TLOG_ERROR(
                QStringLiteral("Location refused; its path cannot be stored in the content database: ") +
                PlistFile::printable(url.path()) + logTag(kFolderTag));
            continue;
        }
        files.append(url);
    }
    if (debugging)
        TLOG_DEBUG(QStringLiteral("Directory contains [ ") + QString::number(files.size()) +
                   QStringLiteral(" ] files") + logTag(kFolderTag));

    qsizetype recordCount = 0;
    try {
        recordCount = database.files(folder).size();
    } catch (const std::exception&) {
        recordCount = 0;
    }
    if (debugging)
        TLOG_DEBUG(QStringLiteral("Database has [ ") + QString::number(recordCount) +
                   QStringLiteral(" ] records for directory") + logTag(kFolderTag));
    std::optional<ChangeTracking::Evaluation> evaluation;
    if (recordCount < files.size())
        evaluation.emplace();

    // First readings: a file that matches its record is Unchanged; the others are
    // read again after one settle interval for all of them. A file already on the
    // watch list is left to the watch loop; one that cannot be read is skipped (its
    // reason is logged) and the others go on.
    struct Candidate {
        Location url;
        FileObjectPtr first;
    };
    QList<Candidate> candidates;
    int n = 0;
    for (const Location& url : files) {
        ++n;
        if (debugging)
            TLOG_DEBUG(QStringLiteral("EvaluateTask [ ") + QString::number(n) + QStringLiteral(" ] for ") +
                       url.urlText() + logTag(kFolderTag));
        if (queues.files.watched.contains(url))
            continue;
        FileObjectPtr first = reading(url);
        if (!first)
            continue;
        const FileObjectPtr stored = database.record(url);
        if (stored && *stored == *first)
            continue; // Unchanged
        if (!stored && debugging)
            TLOG_DEBUG(QStringLiteral("EvaluateTask [ ") + QString::number(n) +
                       QStringLiteral(" ] discovered a new file") + logTag(kFolderTag));
        candidates.append({url, std::move(first)});
    }

    if (!candidates.isEmpty()) {
        settle();
        QList<Location> changed;
        QList<Location> updating;
        ChangeTracking::WatchState& watch = ChangeTracking::watchState();
        for (const Candidate& candidate : candidates) {
            FileObjectPtr second = reading(candidate.url);
            if (!second)
                continue;
            if (*second == *candidate.first) {
                changed.append(candidate.url); // Changed: it has settled
            } else {
                updating.append(candidate.url); // Updating: still being written
                std::lock_guard lock(watch.mutex);
                watch.readings.insert(candidate.url, second);
            }
        }
        if (!changed.isEmpty())
            queues.files.added.add(changed);
        if (!updating.isEmpty())
            queues.files.watched.add(updating);
    }

    // The pass goes on once the files of its folder that are still being written have
    // settled (or gone): only then does it say what it found.
    const OrderedSet<Location> watched = queues.files.watched.data();
    if (!watched.isEmpty()) {
        TLOG_INFO(QStringLiteral("Watching files in monitored location: ") + QString::number(watched.size()) +
                  logTag(kFolderTag));
        ChangeTracking::awaitWatchedFiles(folder);
    }

    const OrderedSet<Location> added = queues.files.added.data();
    if (!added.isEmpty()) {
        TLOG_INFO(QStringLiteral("Files added/updated in monitored location: ") +
                  QString::number(added.size()) + logTag(kFolderTag));
        if (debugging) {
            for (const Location& url : added)
                TLOG_DEBUG(QStringLiteral("Send for processing: ") + url.urlText() + logTag(kFolderTag));
        }
        ChangeTracking::runTriage();
        return true;
    }
    TLOG_INFO(QStringLiteral("No actions immediately required in new monitored location") +
              logTag(kFolderTag));
    return false;
}

void Process::watch() {
    ChangeTracking::WatchState& state = ChangeTracking::watchState();
    {
        std::lock_guard lock(state.mutex);
        if (state.running)
            return; // the running loop takes whatever was added to the list
        state.running = true;
        FlagStore::shared().set(SubSystem::watching, Flag::active, true);
    }
    TLOG_INFO(QStringLiteral("Spawned background loop/thread to monitor changing/updating files") +
              logTag(kWatchTag));
    if (Debugging::flag())
        TLOG_DEBUG(QStringLiteral("Current thread ") + Logger::currentThreadDescription() +
                   logTag(kWatchTag));

    SafeQueue& queues = SafeQueue::shared();
    ThreadSafeLocationQueue& watched = queues.files.watched;
    Database& database = Database::shared();
    for (;;) {
        OrderedSet<Location> round;
        {
            // The emptiness test and the end of the loop are one step under the mutex,
            // so a file added meanwhile is either seen here or starts a new loop.
            std::lock_guard lock(state.mutex);
            round = watched.data();
            if (round.isEmpty()) {
                state.running = false;
                FlagStore::shared().set(SubSystem::watching, Flag::active, false);
                state.roundEnded.notify_all();
                break;
            }
        }
        QList<Location> urls;
        QList<FileObjectPtr> stored;
        for (const Location& url : round) {
            urls.append(url);
            stored.append(database.record(url));
        }
        settle();

        const QList<Digest> enabled = DigestState::shared().enabledDigests();
        bool queued = false;
        for (qsizetype i = 0; i < urls.size(); ++i) {
            const Location& url = urls[i];
            const FileObjectPtr fresh = reading(url);
            if (!fresh) {
                watched.remove(url);
                {
                    std::lock_guard lock(state.mutex);
                    state.readings.remove(url);
                }
                errorRecovery(url);
                continue;
            }
            FileObjectPtr previous;
            {
                std::lock_guard lock(state.mutex);
                previous = state.readings.value(url);
            }
            // Ready when it matches its record again, or when two consecutive readings
            // agree: it has stopped changing (it may have no record at all).
            const bool matchesRecord = stored[i] && *stored[i] == *fresh;
            const bool settled = previous && *previous == *fresh;
            if (!matchesRecord && !settled) {
                std::lock_guard lock(state.mutex);
                state.readings.insert(url, fresh);
                continue;
            }
            TLOG_INFO(QStringLiteral("Blocked file now ready for processing: ") + url.urlText() +
                      logTag(kWatchTag));
            QList<Job> jobs;
            for (Digest algorithm : enabled)
                jobs.append(Job{fresh, algorithm});
            // The record is stored before its jobs can run, so every digest finds it.
            fresh->setStatus(FileState::Changing);
            database.set(url, fresh);
            queues.files.queued.add(jobs);
            watched.remove(url);
            {
                std::lock_guard lock(state.mutex);
                state.readings.remove(url);
            }
            queued = true;
        }
        // Also while a run is active: that run may be ending without seeing these jobs.
        if (queued)
            ChangeTracking::startProcessing();
        {
            std::lock_guard lock(state.mutex);
            ++state.rounds;
        }
        state.roundEnded.notify_all();
    }
    TLOG_INFO(QStringLiteral("Background task monitoring changing/updating files terminated") +
              logTag(kWatchTag));
    // The pass that started this loop may have left Evaluating to it.
    ChangeTracking::EvaluationState& evaluation = ChangeTracking::evaluationState();
    std::lock_guard lock(evaluation.mutex);
    if (evaluation.passes == 0)
        ChangeTracking::endEvaluationWithoutWork();
}

void Process::errorRecovery(const Location& location) {
    TLOG_WARNING(QStringLiteral("A watched file was possibly deleted or renamed: ") + location.urlText() +
                 logTag(kRecoveryTag));
    Database::shared().markDatabaseModified();
}

int Process::orphaned(const Location& folder) {
    TLOG_INFO(QStringLiteral("Checking folder location for orphaned files: ") + folder.path() +
              logTag(kOrphanTag));
    // A folder that is missing or unreadable (an unmounted volume, a folder moved
    // away) says nothing about its files: its records stay.
    const auto folderAvailable = [&folder] {
        const FileSystem directory(folder);
        return directory.isDirectory() && directory.isReadable();
    };
    if (!folderAvailable()) {
        TLOG_WARNING(QStringLiteral("Folder location missing or unreadable; no orphaned files removed: ") +
                     folder.path() + logTag(kOrphanTag));
        return 0;
    }
    QList<FileObjectPtr> records;
    try {
        records = Database::shared().files(folder);
    } catch (const std::exception&) {
        TLOG_ERROR(QStringLiteral("Error while scanning for orphaned files at: ") + folder.path() +
                   logTag(kOrphanTag));
        return 0;
    }
    OrderedSet<Location> orphans;
    for (const FileObjectPtr& record : records) {
        if (!FileSystem(record->location()).exists())
            orphans.append(record->location());
    }
    if (orphans.isEmpty())
        return 0;
    // Checked again right before removing: the folder may have gone while its files
    // were checked.
    if (!folderAvailable()) {
        TLOG_WARNING(QStringLiteral("Folder location missing or unreadable; no orphaned files removed: ") +
                     folder.path() + logTag(kOrphanTag));
        return 0;
    }
    Database::shared().removeAsync(orphans);
    return int(orphans.size());
}

} // namespace trevalin
