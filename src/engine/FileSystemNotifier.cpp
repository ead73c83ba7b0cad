#include "engine/FileSystemNotifier.h"

#include "engine/EnginePool.h"
#include "engine/FolderNotifications.h"
#include "engine/WatchThread.h"
#include "logging/Logger.h"
#include "model/FileSystem.h"
#include "store/Debugging.h"
#include "store/LocationState.h"

namespace trevalin {

namespace {

const QString kInitTag = QStringLiteral(" [ FileSystemNotifier.init(_:) ]");
const QString kStopTag = QStringLiteral(" [ FileSystemNotifier.stop() ]");

} // namespace

std::shared_ptr<FileSystemNotifier> FileSystemNotifier::create(const Location& location) {
    auto notifier = std::make_shared<FileSystemNotifier>(Private{}, location);
    EnginePool::runLow([notifier] { notifier->setUp(); });
    return notifier;
}

FileSystemNotifier::FileSystemNotifier(Private, const Location& location)
    : m_location(location) {}

FileSystemNotifier::~FileSystemNotifier() {
    // Normally stopped or released before the last reference goes; never leave a
    // watch behind that names a notifier that no longer exists.
    if (m_state == State::Watching)
        WatchThread::shared().remove(m_location, this);
}

FileSystemNotifier::State FileSystemNotifier::state() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

void FileSystemNotifier::setUp() {
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped)
            return;
        m_state = State::SettingUp;
    }
    const QString& path = m_location.path();
    const auto fail = [this] {
        std::lock_guard lock(m_mutex);
        if (!m_stopped)
            m_state = State::Failed;
    };

    LocationState& access = LocationState::shared();
    if (!access.hasAccess(m_location) && !access.startAccessing(m_location) &&
        !FileSystem(m_location).isReadable()) {
        TLOG_WARNING(QStringLiteral("Failed to open access to monitored folder: ") + path + kInitTag);
        fail();
        return;
    }
    if (Debugging::flag())
        TLOG_DEBUG(QStringLiteral("Starting filesystem event notifier for: ") + path + kInitTag);

    // The event handler knows only its folder.
    const Location folder = m_location;
    const std::weak_ptr<FileSystemNotifier> self = weak_from_this();
    const std::optional<QString> failure = WatchThread::shared().add(
        m_location, this, [folder] { FolderNotifications::shared().folderChanged(folder); },
        [this] {
            std::lock_guard lock(m_mutex);
            return m_stopped;
        },
        [self](WatchThread::Status status, const QString& reason) {
            if (const auto notifier = self.lock())
                notifier->watchStatus(status, reason);
        });
    if (failure) {
        logWatchFailure(*failure);
        fail();
        return;
    }
    {
        std::unique_lock lock(m_mutex);
        if (m_stopped) {
            // Stopped while the watch was being added: take it away again.
            lock.unlock();
            WatchThread::shared().remove(m_location, this);
            return;
        }
        m_state = State::Watching;
    }
    TLOG_INFO(QStringLiteral("Filesystem event notifications registered for: ") + path + kInitTag);
}

void FileSystemNotifier::logWatchFailure(const QString& reason) const {
    TLOG_WARNING(QStringLiteral("Unable to watch monitored folder: ") + m_location.path() +
                 QStringLiteral(" (") + reason + QLatin1Char(')') + kInitTag);
}

void FileSystemNotifier::watchStatus(WatchThread::Status status, const QString& reason) {
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped || m_state != State::Watching)
            return;
        if (status == WatchThread::Status::Failed)
            m_state = State::Failed; // the watch thread has dropped the folder
    }
    const QString& path = m_location.path();
    switch (status) {
    case WatchThread::Status::Gone:
        TLOG_INFO(QStringLiteral("Monitored folder is missing from its path; waiting for it to return: ") +
                  path + kInitTag);
        break;
    case WatchThread::Status::Back:
        TLOG_INFO(QStringLiteral("Filesystem event notifications registered for: ") + path + kInitTag);
        break;
    case WatchThread::Status::Failed:
        logWatchFailure(reason);
        break;
    }
}

bool FileSystemNotifier::end() {
    bool watching = false;
    {
        std::lock_guard lock(m_mutex);
        watching = m_state == State::Watching;
        m_stopped = true;
        m_state = State::Stopped;
    }
    if (watching)
        WatchThread::shared().remove(m_location, this);
    return watching;
}

void FileSystemNotifier::stop() {
    if (end())
        TLOG_INFO(QStringLiteral("Cancelled filesystem notifications for: ") + m_location.path() + kStopTag);
    else
        TLOG_WARNING(QStringLiteral("Could not acquire dispatchSource during stop event") + kStopTag);
}

void FileSystemNotifier::release() {
    end();
}

} // namespace trevalin
