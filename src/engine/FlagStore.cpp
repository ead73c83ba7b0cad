#include "engine/FlagStore.h"

#include "engine/EnginePool.h"
#include "logging/Logger.h"
#include "store/Debugging.h"

#include <exception>

namespace trevalin {

namespace {

constexpr SubSystem kSubSystems[] = {SubSystem::database, SubSystem::bookmarks, SubSystem::watching};
constexpr Flag kFlags[] = {Flag::ready, Flag::save, Flag::active};

const QString kSetTag = QStringLiteral(" [ FlagStore.set(component:flag:state:) ]");
const QString kSaveTag = QStringLiteral(" [ FlagStore.save() ]");

// Runs a saver; an exception counts as a failure and never leaves this function.
bool runSaver(const FlagStore::SaveHook& saver) {
    try {
        return saver();
    } catch (...) {
        return false;
    }
}

void runQuietly(const FlagStore::Hook& hook) {
    try {
        hook();
    } catch (const std::exception& e) {
        const QString what = QString::fromLocal8Bit(e.what());
        TLOG_ERROR(QStringLiteral("Folder store flush failed: ") + what + kSaveTag);
    } catch (...) {
        TLOG_ERROR(QStringLiteral("Folder store flush failed") + kSaveTag);
    }
}

} // namespace

QString toString(SubSystem subsystem) {
    switch (subsystem) {
    case SubSystem::database:
        return QStringLiteral("database");
    case SubSystem::bookmarks:
        return QStringLiteral("bookmarks");
    case SubSystem::watching:
        return QStringLiteral("watching");
    }
    return QString();
}

QString toString(Flag flag) {
    switch (flag) {
    case Flag::ready:
        return QStringLiteral("ready");
    case Flag::save:
        return QStringLiteral("save");
    case Flag::active:
        return QStringLiteral("active");
    }
    return QString();
}

// Never destroyed: pool tasks may still save while the process exits.
FlagStore& FlagStore::shared() {
    static FlagStore* instance = new FlagStore();
    return *instance;
}

void FlagStore::initialise() {
    std::lock_guard lock(m_mutex);
    for (SubSystem subsystem : kSubSystems) {
        for (Flag flag : kFlags)
            m_states.insert_or_assign(StateElement(subsystem, flag), false);
    }
}

bool FlagStore::getLocked(SubSystem component, Flag flag) const {
    auto it = m_states.find(StateElement(component, flag));
    return it != m_states.end() && it->second;
}

bool FlagStore::get(SubSystem component, Flag flag) const {
    std::lock_guard lock(m_mutex);
    return getLocked(component, flag);
}

bool FlagStore::startup() const {
    std::lock_guard lock(m_mutex);
    return m_startup;
}

int FlagStore::keyCount() const {
    std::lock_guard lock(m_mutex);
    return int(m_states.size());
}

void FlagStore::set(SubSystem component, Flag flag, bool state) {
    std::vector<Hook> completion;
    Hook timestamp;
    {
        std::lock_guard lock(m_mutex);
        m_states.insert_or_assign(StateElement(component, flag), state);
        if (!m_startup)
            return;
        if (!(getLocked(SubSystem::database, Flag::ready) && getLocked(SubSystem::bookmarks, Flag::ready)))
            return;
        m_startup = false;
        completion = m_completionHooks;
        timestamp = m_timestamp;
    }
    // Only the one call that cleared `startup` gets here.
    TLOG_INFO(QStringLiteral("Database content and security bookmarks in coherent/ready state") + kSetTag);
    if (Debugging::flag() && timestamp)
        timestamp();
    for (Hook& hook : completion)
        EnginePool::runBackground(std::move(hook));
}

void FlagStore::save() {
    std::lock_guard saveLock(m_saveMutex);
    bool saveBookmarks = false;
    bool saveContent = false;
    SaveHook bookmarkSaver;
    SaveHook contentSaver;
    Hook flush;
    {
        std::lock_guard lock(m_mutex);
        saveBookmarks = getLocked(SubSystem::bookmarks, Flag::save);
        bookmarkSaver = m_bookmarkSaver;
        contentSaver = m_contentSaver;
        flush = m_folderStoreFlush;
    }
    if (saveBookmarks) {
        TLOG_INFO(QStringLiteral("Modified security bookmarks database needs to be saved") + kSaveTag);
        if (bookmarkSaver && !runSaver(bookmarkSaver))
            TLOG_ERROR(QStringLiteral("Unable to save security bookmarks database to disk") + kSaveTag);
    }
    // Read after the bookmark save: writing bookmarks never sets the content flag,
    // but a change made meanwhile is picked up now rather than at the next save.
    saveContent = get(SubSystem::database, Flag::save);
    if (saveContent) {
        TLOG_INFO(QStringLiteral("Modified content database needs to be saved") + kSaveTag);
        if (contentSaver && !runSaver(contentSaver))
            TLOG_ERROR(QStringLiteral("Unable to save content database to disk") + kSaveTag);
    }
    if (flush)
        runQuietly(flush);
}

void FlagStore::setBookmarkSaver(SaveHook saver) {
    std::lock_guard lock(m_mutex);
    m_bookmarkSaver = std::move(saver);
}

void FlagStore::setContentSaver(SaveHook saver) {
    std::lock_guard lock(m_mutex);
    m_contentSaver = std::move(saver);
}

void FlagStore::setFolderStoreFlush(Hook flush) {
    std::lock_guard lock(m_mutex);
    m_folderStoreFlush = std::move(flush);
}

void FlagStore::addStartupCompletionHook(Hook hook) {
    if (!hook)
        return;
    {
        std::lock_guard lock(m_mutex);
        if (m_startup) {
            m_completionHooks.push_back(std::move(hook));
            return;
        }
    }
    EnginePool::runBackground(std::move(hook));
}

void FlagStore::setStartupTimestamp(Hook timestamp) {
    std::lock_guard lock(m_mutex);
    m_timestamp = std::move(timestamp);
}

void FlagStore::resetForTesting() {
    std::lock_guard lock(m_mutex);
    m_states.clear();
    m_startup = true;
    m_bookmarkSaver = nullptr;
    m_contentSaver = nullptr;
    m_folderStoreFlush = nullptr;
    m_completionHooks.clear();
    m_timestamp = nullptr;
}

} // namespace trevalin
