#include "engine/FolderNotifications.h"

#include "engine/EnginePool.h"
#include "engine/FileSystemNotifier.h"
#include "engine/Process.h"
#include "logging/Logger.h"
#include "store/CoreDatabase.h"
#include "store/Debugging.h"

#include <exception>

namespace trevalin {

namespace {

const QString kRegisterTag = QStringLiteral(" [ FolderNotifications.register() ]");
const QString kRemoveTag = QStringLiteral(" [ FolderNotifications.remove(_:) ]");
const QString kCeaseTag = QStringLiteral(" [ FolderNotifications.cease() ]");
const QString kPassTag = QStringLiteral(" [ FolderNotifications.folderChanged(_:) ]");

} // namespace

FolderNotifications& FolderNotifications::shared() {
    static FolderNotifications* instance = new FolderNotifications();
    return *instance;
}

void FolderNotifications::registerAll() {
    if (CoreDatabase::monitoredFolders().isEmpty()) {
        if (Debugging::flag())
            TLOG_DEBUG(QStringLiteral("Filesystem folder monitoring NOT started; no monitored locations") +
                       kRegisterTag);
        return;
    }
    TLOG_INFO(QStringLiteral("Initiating file system folder monitoring") + kRegisterTag);
    for (const Location& location : CoreDatabase::monitoredFolders())
        monitor(location);
}

void FolderNotifications::monitor(const Location& url) {
    std::shared_ptr<FileSystemNotifier> replaced;
    {
        std::lock_guard lock(m_mutex);
        if (const auto* earlier = m_notifier.find(url))
            replaced = *earlier;
        m_notifier.insertOrAssign(url, FileSystemNotifier::create(url));
    }
    // The replaced notifier gives up its watch; the new one holds the folder's watch
    // from its own set-up on.
    if (replaced)
        replaced->release();
}

void FolderNotifications::remove(const Location& url) {
    std::shared_ptr<FileSystemNotifier> notifier;
    {
        std::lock_guard lock(m_mutex);
        if (const auto* entry = m_notifier.find(url)) {
            notifier = *entry;
            m_notifier.remove(url);
        }
    }
    if (notifier)
        notifier->stop();
    TLOG_INFO(QStringLiteral("Folder monitoring stopped for path: ") + url.path() + kRemoveTag);
}

void FolderNotifications::cease() {
    const QList<Location> keys = locations();
    if (keys.isEmpty()) {
        TLOG_INFO(QStringLiteral("Folder monitoring not active, no corresponding actions to cease") +
                  kCeaseTag);
        return;
    }
    TLOG_INFO(QStringLiteral("Ceasing file system folder monitoring for [ ") + QString::number(keys.size()) +
              QStringLiteral(" ] locations") + kCeaseTag);
    for (const Location& url : keys)
        remove(url);
}

std::shared_ptr<FileSystemNotifier> FolderNotifications::notifier(const Location& url) const {
    std::lock_guard lock(m_mutex);
    return m_notifier.value(url);
}

QList<Location> FolderNotifications::locations() const {
    std::lock_guard lock(m_mutex);
    QList<Location> out;
    out.reserve(qsizetype(m_notifier.size()));
    for (const auto& entry : m_notifier)
        out.append(entry.first);
    return out;
}

bool FolderNotifications::isMonitored(const Location& folder) const {
    std::lock_guard lock(m_mutex);
    return m_notifier.contains(folder);
}

void FolderNotifications::folderChanged(const Location& folder) {
    if (!isMonitored(folder))
        return;
    {
        std::lock_guard lock(m_passMutex);
        const auto it = m_passes.find(folder);
        if (it != m_passes.end()) {
            *it = PassState::RunningPending; // the running pass is followed by one more
            return;
        }
        m_passes.insert(folder, PassState::Running);
    }
    EnginePool::runMedium([this, folder] { runPasses(folder); });
}

void FolderNotifications::runPasses(const Location& folder) {
    for (;;) {
        PassHook hook;
        {
            std::lock_guard lock(m_passMutex);
            hook = m_passHook;
        }
        if (hook)
            hook(folder, true);
        try {
            if (Process::triage(folder))
                Process::process();
        } catch (const std::exception& e) {
            TLOG_ERROR(QStringLiteral("Pass over monitored folder ended by an exception: ") + folder.path() +
                       QStringLiteral(": ") + QString::fromLocal8Bit(e.what()) + kPassTag);
        } catch (...) {
            TLOG_ERROR(QStringLiteral("Pass over monitored folder ended by an unknown exception: ") +
                       folder.path() + kPassTag);
        }
        if (hook)
            hook(folder, false);

        // A folder no longer monitored gets no further pass.
        const bool monitored = isMonitored(folder);
        std::lock_guard lock(m_passMutex);
        const auto it = m_passes.find(folder);
        if (it != m_passes.end() && *it == PassState::RunningPending && monitored) {
            *it = PassState::Running;
            continue;
        }
        m_passes.remove(folder);
        return;
    }
}

bool FolderNotifications::passActive(const Location& folder) const {
    std::lock_guard lock(m_passMutex);
    return m_passes.contains(folder);
}

void FolderNotifications::setPassHookForTesting(PassHook hook) {
    std::lock_guard lock(m_passMutex);
    m_passHook = std::move(hook);
}

} // namespace trevalin
