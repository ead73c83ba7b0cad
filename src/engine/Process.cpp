#include "engine/Process.h"

#include "engine/EnginePool.h"
#include "engine/Global.h"
#include "engine/Progress.h"
#include "engine/SafeQueue.h"
#include "engine/ThreadSafeCounters.h"
#include "logging/LogTag.h"
#include "logging/Logger.h"
#include "model/ChecksumCalculator.h"
#include "model/DigestState.h"
#include "model/FileObject.h"
#include "model/FileSystem.h"
#include "model/Job.h"
#include "model/OrderedSet.h"
#include "store/BookmarkDatabase.h"
#include "store/CoreDatabase.h"
#include "store/Database.h"
#include "store/Debugging.h"
#include "store/LocationState.h"
#include "store/PlistFile.h"

#include <QFuture>
#include <QPromise>
#include <QThread>

#include <exception>
#include <memory>
#include <mutex>
#include <optional>

#include <unistd.h>

namespace trevalin {

namespace {

const QString kIntakeTag = QStringLiteral("added(_:)");
const QString kTriageTag = QStringLiteral("Process.triage(evaluate:)");
const QString kProcessTag = QStringLiteral("Process.process()");

// A location whose path the content database file cannot carry is refused before it
// becomes a record: logged at error level with its path made printable.
bool refuseUnstorable(const Location& location, const QString& tag) {
    if (Database::isStorable(location))
        return false;
    TLOG_ERROR(QStringLiteral("Location refused; its path cannot be stored in the content database: ") +
               PlistFile::printable(location.path()) + logTag(tag));
    return true;
}

// Starts `body` as a medium-priority task; the future finishes when it has ended,
// also when it ends by an exception (which the pool logs).
QFuture<void> startIntake(std::function<void()> body) {
    auto promise = std::make_shared<QPromise<void>>();
    QFuture<void> future = promise->future();
    promise->start();
    EnginePool::runMedium([promise, body = std::move(body)] {
        struct Finish {
            QPromise<void>& promise;
            ~Finish() { promise.finish(); }
        } finish{*promise};
        body();
    });
    return future;
}

// A file of a folder added again that needs nothing: it has a record, and its metadata
// still matches it.
bool recordedAndUnchanged(const Location& location) {
    const FileObjectPtr stored = Database::shared().record(location);
    if (!stored)
        return false;
    try {
        const FileObjectPtr now = FileObject::create(location, false);
        return now && *now == *stored;
    } catch (const std::exception&) {
        return false; // triage reports what is wrong with it
    }
}

void triageAndProcess() {
    if (Process::triage())
        Process::process();
}

// The digests of one run of jobs (one record, consecutive in the queue) from one read
// of the file, in the jobs' order; absent when the file could not be read.
std::optional<QList<Checksum>> computeRun(const QList<Job>& run) {
    const Location& location = run.front().file->location();
    if (run.size() == 1) {
        std::optional<Checksum> single = ChecksumCalculator::checksum(location, run.front().algorithm);
        if (!single)
            return std::nullopt;
        return QList<Checksum>{*single};
    }
    QList<Digest> algorithms;
    algorithms.reserve(run.size());
    for (const Job& job : run)
        algorithms.append(job.algorithm);
    return ChecksumCalculator::checksumAll(location, algorithms);
}

// One processing run at a time: set while a run (or its follow-up) is active.
std::mutex runMutex;
bool runActive = false; // guarded by runMutex

} // namespace

QFuture<void> Process::added(const QList<Location>& locations) {
    if (locations.isEmpty()) {
        TLOG_ERROR(QStringLiteral("Function was passed an empty Array") + logTag(kIntakeTag));
        return QtFuture::makeReadyFuture();
    }
    return startIntake([locations] { bulkIntake(locations); });
}

QFuture<void> Process::added(const Location& location) {
    return startIntake([location] { singleIntake(location); });
}

void Process::singleIntake(const Location& location) {
    if (refuseUnstorable(location, kIntakeTag))
        return;
    const bool debugging = Debugging::flag();
    LocationState& access = LocationState::shared();
    if (!access.hasAccess(location)) {
        if (debugging)
            TLOG_DEBUG(QStringLiteral("Location not bookmarked: ") + location.urlText() + logTag(kIntakeTag));
        if (!access.startAccessing(location)) {
            if (debugging)
                TLOG_DEBUG(QStringLiteral("Requesting a security bookmark for location") +
                           logTag(kIntakeTag));
            BookmarkDatabase::shared().store(location);
        }
    }
    if (debugging)
        TLOG_DEBUG(QStringLiteral("Proceeding to invoke queue triage and processing") + logTag(kIntakeTag));

    SafeQueue& queues = SafeQueue::shared();
    if (FileSystem(location).isDirectory())
        queues.folders.added.add(QList<Location>{location});
    else
        queues.files.added.add(QList<Location>{location});
    triageAndProcess();
}

void Process::bulkIntake(const QList<Location>& locations) {
    const bool debugging = Debugging::flag();
    const QString n = QString::number(locations.size());
    // Refused before anything is recorded for them, bookmarks included.
    QList<Location> accepted;
    for (const Location& location : locations) {
        if (!refuseUnstorable(location, kIntakeTag))
            accepted.append(location);
    }
    if (accepted.isEmpty())
        return;
    LocationState& access = LocationState::shared();
    QList<Location> missing;
    for (const Location& location : accepted) {
        if (!access.hasAccess(location))
            missing.append(location);
    }
    if (missing.isEmpty()) {
        if (debugging)
            TLOG_DEBUG(QStringLiteral("Access already available to all [ ") + n +
                       QStringLiteral(" ] locations in bulk request") + logTag(kIntakeTag));
    } else if (missing.size() == 1) {
        if (debugging)
            TLOG_DEBUG(QStringLiteral("Require a security bookmark for location") + logTag(kIntakeTag));
        BookmarkDatabase::shared().store(missing.front());
    } else {
        if (debugging)
            TLOG_DEBUG(QStringLiteral("Requesting bulk creation of [ ") + n +
                       QStringLiteral(" ] security bookmarks for locations") + logTag(kIntakeTag));
        BookmarkDatabase::shared().stash(missing);
    }
    if (debugging)
        TLOG_DEBUG(QStringLiteral("Proceeding to invoke queue triage and processing for [ ") + n +
                   QStringLiteral(" ] locations") + logTag(kIntakeTag));

    QList<Location> folders, files;
    for (const Location& location : accepted) {
        if (FileSystem(location).isDirectory())
            folders.append(location);
        else
            files.append(location);
    }
    SafeQueue& queues = SafeQueue::shared();
    if (!folders.isEmpty())
        queues.folders.added.add(folders);
    if (!files.isEmpty())
        queues.files.added.add(files);
    triageAndProcess();
}

bool Process::triage() {
    SafeQueue& queues = SafeQueue::shared();
    const int folderCount = queues.folders.added.count();
    const int fileCount = queues.files.added.count();
    if (folderCount == 0 && fileCount == 0) {
        TLOG_WARNING(QStringLiteral("Triage process invoked, but no queued items to process") +
                     logTag(kTriageTag));
        return false;
    }
    const bool debugging = Debugging::flag();
    if (debugging)
        TLOG_DEBUG(QStringLiteral("Triage/pre-processing running: ") + Logger::currentThreadDescription() +
                   logTag(kTriageTag));

    // Folder phase: record each new folder and queue the files directly inside it.
    if (folderCount > 0) {
        TLOG_INFO(QStringLiteral("Pre-processing: [ ") + QString::number(folderCount) +
                  QStringLiteral(" ] folder(s)") + logTag(kTriageTag));
        // Work through a snapshot and take out exactly what it held: a folder queued by
        // another intake while this pass runs stays queued for the next pass.
        const auto folders = queues.folders.added.data();
        for (const Location& folder : folders) {
            const FileSystem directory(folder);
            if (!directory.isDirectory())
                continue;
            // A folder added again is still listed: its files without a record (lost to a
            // crash before the save, a failed save, or created since) are taken in, and
            // recorded files that did not change are left alone.
            const bool known = CoreDatabase::contains(folder);
            if (known) {
                TLOG_WARNING(QStringLiteral("Directory was already present in database: ") + folder.path());
            } else {
                CoreDatabase::addFolder(folder, true);
                if (debugging)
                    TLOG_DEBUG(QStringLiteral("Adding files from directory location: ") + folder.path());
            }
            OrderedSet<Location> entries;
            try {
                for (const Location& entry : directory.directoryContents())
                    if (!known || !recordedAndUnchanged(entry))
                        entries.append(entry);
            } catch (const std::exception&) {
                entries.clear(); // a folder that cannot be listed counts as empty
            }
            if (!entries.isEmpty())
                queues.files.added.add(entries);
            else if (!known)
                TLOG_VERBOSE(QStringLiteral("Added folder, but found no files to process") +
                             logTag(kTriageTag));
        }
        queues.folders.added.reset(folders);
    }

    const int files = queues.files.added.count();
    if (files == 0) {
        if (debugging)
            TLOG_INFO(QStringLiteral("Folder(s) processed and no further work to be done") +
                      logTag(kTriageTag));
        return false;
    }
    TLOG_INFO(QStringLiteral("Pre-processing: [ ") + QString::number(files) + QStringLiteral(" ] file(s)") +
              logTag(kTriageTag));

    // File phase: one record per file, compared with the database; jobs for every
    // enabled algorithm.
    const QList<Digest> enabled = DigestState::shared().enabledDigests();
    Database& database = Database::shared();
    QList<Job> jobs;
    const auto addedFiles = queues.files.added.data();
    ThreadSafeCounters& counters = ThreadSafeCounters::shared();
    for (const Location& url : addedFiles) {
        if (refuseUnstorable(url, kTriageTag)) {
            counters.unstorable->increment();
            continue;
        }
        FileObjectPtr file;
        try {
            file = FileObject::create(url, false);
        } catch (const std::exception&) {
        }
        if (!file) {
            counters.unresolved->increment();
            TLOG_ERROR(QStringLiteral("Could not resolve file metadata for: ") + url.path());
            continue;
        }
        if (const FileObjectPtr stored = database.record(url)) {
            if (debugging)
                TLOG_DEBUG(QStringLiteral("Existing record was found in the database: ") + url.path());
            if (!(*stored == *file)) {
                TLOG_DEBUG(QStringLiteral("File metadata has changed; updating database record: ") +
                           url.path());
                database.set(url, file);
            }
        } else {
            if (debugging)
                TLOG_DEBUG(QStringLiteral("Queued file is not listed in the database: ") + url.path());
            database.set(url, file);
            database.markDatabaseModified();
        }
        for (Digest algorithm : enabled)
            jobs.append(Job{file, algorithm});
    }
    queues.files.added.discard(addedFiles);
    queues.files.queued.add(jobs);
    return true;
}

bool Process::process() {
    ThreadSafeWorkQueue& queued = SafeQueue::shared().files.queued;
    // The guard and the claim of the run are one step, so two callers never both run.
    enum class Refusal { None, Active, Empty } refusal = Refusal::None;
    int jobCount = 0;
    {
        std::lock_guard lock(runMutex);
        if (runActive || Global::shared().status() == ApplicationState::Processing)
            refusal = Refusal::Active;
        else if ((jobCount = queued.count()) == 0)
            refusal = Refusal::Empty;
        else
            runActive = true;
    }
    if (refusal == Refusal::Active) {
        TLOG_INFO(QStringLiteral("Queue processing currently active; do not need more than one instance") +
                  logTag(kProcessTag));
        return false;
    }
    if (refusal == Refusal::Empty) {
        TLOG_WARNING(QStringLiteral("Queue processing invoked, but NO files are queued") +
                     logTag(kProcessTag));
        return false;
    }
    for (;;) {
        try {
            runOnce(jobCount);
        } catch (...) {
            std::lock_guard lock(runMutex);
            runActive = false;
            throw;
        }
        // Jobs queued after the loop ended, by a caller that was turned away because this
        // run was active, would otherwise wait for the next run: start it now.
        std::lock_guard lock(runMutex);
        if ((jobCount = queued.count()) == 0) {
            runActive = false;
            return true;
        }
    }
}

bool Process::isProcessing() {
    std::lock_guard lock(runMutex);
    return runActive;
}

void Process::runOnce(int jobCount) {
    Global& global = Global::shared();
    ThreadSafeWorkQueue& queued = SafeQueue::shared().files.queued;
    ThreadSafeCounters& counters = ThreadSafeCounters::shared();
    const QString run = QString::number(counters.invocations->increment());
    TLOG_DEBUG(QStringLiteral("Queue processing STARTED: [ ") + run + QStringLiteral(" ]") +
               logTag(kProcessTag));
    if (Debugging::flag())
        TLOG_DEBUG(QStringLiteral("Current thread ") + Logger::currentThreadDescription() +
                   logTag(kProcessTag));

    Progress& progress = Progress::shared();
    progress.setRemaining(jobCount);
    global.set(ApplicationState::Processing);

    quint64 volume = 0;
    for (const Job& job : queued.data())
        volume += job.file->bytes();
    progress.setTotal(static_cast<double>(volume));
    progress.setValue(0);
    TLOG_INFO(QStringLiteral("Tasks [ ") + QString::number(jobCount) + QStringLiteral(" ] Data Volume [ ") +
              QString::number(volume) + QStringLiteral(" Bytes ] [ ") + QString::number(volume / 1048576) +
              QStringLiteral(" MegaBytes ]") + logTag(kProcessTag));

    Database& database = Database::shared();
    while (queued.count() > 0) {
        // The jobs of one record that stand together at the front are computed from one
        // read of the file; each job still has its own title, counts, store and progress
        // step, in queue order.
        const QList<Job> jobs = queued.removeFirstRun();
        if (jobs.isEmpty())
            break;
        std::optional<QList<Checksum>> digests;
        for (qsizetype i = 0; i < jobs.size(); ++i) {
            const Job& job = jobs[i];
            counters.locations->increment();
            counters.jobs->increment();
            progress.setTitle(QStringLiteral("Processing: ") + job.file->name() + QLatin1Char(' ') +
                              toString(job.algorithm));
            std::optional<Checksum> digest;
            if (i == 0) {
                digests = computeRun(jobs);
                if (digests)
                    digest = digests->front();
            } else if (digests) {
                digest = (*digests)[i];
            } else {
                // The shared read failed: each further job tries on its own, as it
                // would have without the shared read (and logs its own failure).
                digest = ChecksumCalculator::checksum(job.file->location(), job.algorithm);
            }
            if (digest)
                database.checksumStore(job.file->location(), *digest);
            progress.incrementValue(static_cast<double>(job.file->bytes()));
            progress.jobFinished();
        }
    }

    TLOG_DEBUG(QStringLiteral("Queue processing TERMINATING: [ ") + run + QStringLiteral(" ]") +
               logTag(kProcessTag));
    // Lists show the finished records now, not one change interval later.
    database.flushChanges();
    global.set(ApplicationState::Idle);
}

bool Process::rescan(const Location& location) {
    if (refuseUnstorable(location, QStringLiteral("Process.rescan(_:)")))
        return false;
    SafeQueue::shared().files.added.add(QList<Location>{location});
    return triage() && process();
}

} // namespace trevalin
