#include "engine/WatchThread.h"

#include "model/FileSystem.h"

#include <QCoreApplication>
#include <QFile>
#include <QObject>
#include <QSocketNotifier>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <sys/inotify.h>
#include <unistd.h>

namespace trevalin {

namespace {

std::atomic<bool> g_shutDown{false};

// Every watch, of a folder or of an ancestor waiting for it, listens for the same
// events: a watch shared by both (a monitored folder that is also the ancestor another
// one waits on) then needs no mask of its own.
constexpr quint32 kWatchMask = IN_CLOSE_WRITE | IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                               IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// The watched folder itself is no longer where it was.
constexpr quint32 kSelfGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;

// The configured per-user inotify watch limit, when the kernel tells it.
QString watchLimit() {
    QFile file(QStringLiteral("/proc/sys/fs/inotify/max_user_watches"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(file.readAll()).trimmed();
}

// Why a watch could not be added, from the errno of inotify.
QString describe(int error) {
    if (error == ENOSPC) {
        const QString limit = watchLimit();
        return QStringLiteral("the inotify watch limit is reached (fs.inotify.max_user_watches") +
               (limit.isEmpty() ? QString() : QStringLiteral(" = ") + limit) + QLatin1Char(')');
    }
    if (error == EMFILE)
        return QStringLiteral("the inotify instance limit is reached (fs.inotify.max_user_instances)");
    if (error != 0)
        return QString::fromLocal8Bit(std::strerror(error));
    return QStringLiteral("the file system watcher refused it");
}

bool isDirectory(const QString& path) {
    return FileSystem(Location(path)).isDirectory();
}

// The nearest ancestor of `path` that is a folder ("/" at the latest).
QString nearestAncestor(const QString& path) {
    Location ancestor = Location(path).parent();
    while (ancestor.path() != QLatin1String("/") && !isDirectory(ancestor.path()))
        ancestor = ancestor.parent();
    return ancestor.path();
}

// The name, directly inside `ancestor`, on the way down to `path`.
QString nextName(const QString& ancestor, const QString& path) {
    const qsizetype skip = ancestor == QLatin1String("/") ? 1 : ancestor.size() + 1;
    return path.mid(skip).section(QLatin1Char('/'), 0, 0);
}

} // namespace

WatchThread& WatchThread::shared() {
    // Never destroyed: the thread is stopped by shutdown() when the application object
    // goes, and nothing may touch a destroyed instance from a late pool task.
    static WatchThread* instance = new WatchThread();
    return *instance;
}

WatchThread::WatchThread() {
    m_thread = new QThread();
    m_thread->setObjectName(QStringLiteral("FolderNotifications"));
    m_context = new QObject();
    m_context->moveToThread(m_thread);
    m_thread->start();
    runOnThread([this] {
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd < 0) {
            m_initError = errno;
            return;
        }
        m_notifier = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Read, m_context);
        QObject::connect(m_notifier, &QSocketNotifier::activated, m_context, [this] { readEvents(); });
    });
    qAddPostRoutine(&WatchThread::shutdown);
}

template <typename F> void WatchThread::runOnThread(F&& work) {
    if (QThread::currentThread() == m_thread)
        work();
    else
        QMetaObject::invokeMethod(m_context, std::forward<F>(work), Qt::BlockingQueuedConnection);
}

void WatchThread::shutdown() {
    WatchThread& self = shared();
    if (g_shutDown.exchange(true))
        return;
    self.runOnThread([&self] {
        delete self.m_notifier;
        self.m_notifier = nullptr;
        if (self.m_fd >= 0)
            ::close(self.m_fd);
        self.m_fd = -1;
        self.m_entries.clear();
        self.m_listeners.clear();
    });
    self.m_thread->quit();
    self.m_thread->wait();
}

int WatchThread::addWatch(const QString& path, int* error) {
    if (m_addFailure) {
        if (const int injected = m_addFailure(path)) {
            *error = injected;
            return -1;
        }
    }
    const int wd = ::inotify_add_watch(m_fd, QFile::encodeName(path).constData(), kWatchMask);
    *error = wd < 0 ? errno : 0;
    return wd;
}

void WatchThread::detach(const QString& path, int wd) {
    const auto it = m_listeners.find(wd);
    if (it == m_listeners.end())
        return;
    it->remove(path);
    if (it->isEmpty()) {
        m_listeners.erase(it);
        ::inotify_rm_watch(m_fd, wd); // fails harmlessly for a watch the kernel dropped already
    }
}

void WatchThread::attach(const QString& path, Entry& entry, int wd, const QString& waitOn) {
    if (entry.wd >= 0 && entry.wd != wd)
        detach(path, entry.wd);
    entry.wd = wd;
    entry.present = waitOn.isEmpty();
    entry.waitOn = waitOn;
    m_listeners[wd].insert(path);
}

void WatchThread::fail(const QString& path, int error) {
    const auto it = m_entries.find(path);
    if (it == m_entries.end())
        return;
    const StatusHandler status = it->status;
    detach(path, it->wd);
    m_entries.erase(it);
    if (status)
        status(Status::Failed, describe(error));
}

bool WatchThread::rearm(const QString& path) {
    const auto entry = [&]() -> Entry* {
        const auto it = m_entries.find(path);
        return it == m_entries.end() ? nullptr : &*it;
    };
    if (!entry())
        return false;
    const bool wasPresent = entry()->present;
    const auto report = [&](Status status) {
        if (const StatusHandler handler = entry()->status)
            handler(status, QString());
    };
    // Each round either settles the watch or sees the folder's path change under it
    // (created or removed again meanwhile) and looks again.
    for (int round = 0; round < 16; ++round) {
        int error = 0;
        if (isDirectory(path)) {
            const int wd = addWatch(path, &error);
            if (wd >= 0) {
                attach(path, *entry(), wd);
                if (!wasPresent)
                    report(Status::Back);
                return !wasPresent;
            }
            if (error == ENOENT || error == ENOTDIR)
                continue;
            fail(path, error);
            return false;
        }
        const QString ancestor = nearestAncestor(path);
        const int wd = addWatch(ancestor, &error);
        if (wd < 0) {
            if (error == ENOENT || error == ENOTDIR)
                continue;
            fail(path, error);
            return false;
        }
        attach(path, *entry(), wd, ancestor);
        // The folder, or an ancestor nearer to it, may have appeared before the watch
        // was in place: its creation was not seen.
        if (!isDirectory(path) && nearestAncestor(path) == ancestor)
            break;
    }
    if (wasPresent && !entry()->present)
        report(Status::Gone);
    return false;
}

void WatchThread::readEvents() {
    // The folders whose handler runs, once each for everything read at a time.
    QList<QString> changed;
    const auto note = [&changed](const QString& path) {
        if (!changed.contains(path))
            changed.append(path);
    };
    alignas(struct inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // EAGAIN: everything is read
        for (const char* p = buffer; p < buffer + n;) {
            const auto* event = reinterpret_cast<const struct inotify_event*>(p);
            p += sizeof(struct inotify_event) + event->len;
            if (event->mask & IN_Q_OVERFLOW) {
                // Events were lost: every folder may have changed, gone or come back
                // (a watch added again to the same folder is the same watch).
                for (const QString& path : m_entries.keys()) {
                    const bool wasPresent = m_entries.value(path).present;
                    if (rearm(path) || wasPresent)
                        note(path);
                }
                continue;
            }
            const QString name = event->len ? QFile::decodeName(event->name) : QString();
            for (const QString& path : m_listeners.value(event->wd)) {
                const auto it = m_entries.constFind(path);
                if (it == m_entries.constEnd() || it->wd != event->wd)
                    continue;
                if (it->present) {
                    // A pass follows every event, also the folder's leaving its path.
                    if (event->mask & kSelfGone)
                        rearm(path);
                    note(path);
                } else if ((event->mask & kSelfGone) || ((event->mask & (IN_CREATE | IN_MOVED_TO)) &&
                                                         name == nextName(it->waitOn, path))) {
                    if (rearm(path))
                        note(path); // back: a pass over what it holds now
                }
            }
        }
    }
    for (const QString& path : changed) {
        const auto it = m_entries.constFind(path);
        if (it != m_entries.constEnd() && it->handler)
            it->handler();
    }
}

std::optional<QString> WatchThread::add(const Location& folder, const void* owner, Handler handler,
                                        std::function<bool()> cancelled, StatusHandler status) {
    if (g_shutDown.load())
        return QStringLiteral("the program is shutting down");
    std::optional<QString> failure;
    runOnThread([&] {
        if (cancelled && cancelled())
            return;
        if (g_shutDown.load()) {
            failure = QStringLiteral("the program is shutting down");
            return;
        }
        if (m_fd < 0) {
            failure = describe(m_initError);
            return;
        }
        const QString& path = folder.path();
        const FileSystem directory(folder);
        if (!directory.exists()) {
            failure = QStringLiteral("the folder does not exist");
            return;
        }
        if (!directory.isDirectory()) {
            failure = QStringLiteral("the location is not a folder");
            return;
        }
        int error = 0;
        const int wd = addWatch(path, &error);
        if (wd < 0) {
            failure = describe(error);
            return;
        }
        // A folder watched for another owner passes to this one.
        Entry& entry = m_entries[path];
        entry.owner = owner;
        entry.handler = std::move(handler);
        entry.status = std::move(status);
        attach(path, entry, wd);
    });
    return failure;
}

bool WatchThread::remove(const Location& folder, const void* owner) {
    if (g_shutDown.load())
        return false;
    bool removed = false;
    runOnThread([&] {
        const QString& path = folder.path();
        const auto it = m_entries.find(path);
        if (it == m_entries.end() || it->owner != owner)
            return;
        detach(path, it->wd);
        m_entries.erase(it);
        removed = true;
    });
    return removed;
}

bool WatchThread::isWatched(const Location& folder) {
    if (g_shutDown.load())
        return false;
    bool watched = false;
    runOnThread([&] {
        const auto it = m_entries.constFind(folder.path());
        watched = it != m_entries.constEnd() && it->present;
    });
    return watched;
}

void WatchThread::setAddFailureForTesting(AddFailure failure) {
    runOnThread([&] { m_addFailure = std::move(failure); });
}

} // namespace trevalin
