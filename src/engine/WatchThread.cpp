#include "engine/WatchThread.h"

#include "model/FileSystem.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileSystemWatcher>
#include <QObject>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace trevalin {

namespace {

std::atomic<bool> g_shutDown{false};

// The configured per-user inotify watch limit, when the kernel tells it.
QString watchLimit() {
    QFile file(QStringLiteral("/proc/sys/fs/inotify/max_user_watches"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(file.readAll()).trimmed();
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
        m_watcher = new QFileSystemWatcher(m_context);
        QObject::connect(m_watcher, &QFileSystemWatcher::directoryChanged, m_context,
                         [this](const QString& path) {
                             const auto it = m_entries.constFind(path);
                             if (it != m_entries.constEnd() && it->handler)
                                 it->handler();
                         });
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
        delete self.m_watcher;
        self.m_watcher = nullptr;
        self.m_entries.clear();
    });
    self.m_thread->quit();
    self.m_thread->wait();
}

std::optional<QString> WatchThread::add(const Location& folder, const void* owner, Handler handler,
                                        std::function<bool()> cancelled) {
    if (g_shutDown.load())
        return QStringLiteral("the program is shutting down");
    std::optional<QString> failure;
    runOnThread([&] {
        if (cancelled && cancelled())
            return;
        if (!m_watcher) {
            failure = QStringLiteral("the program is shutting down");
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
        if (!m_watcher->directories().contains(path)) {
            errno = 0;
            if (!m_watcher->addPath(path)) {
                const int error = errno;
                if (error == ENOSPC) {
                    const QString limit = watchLimit();
                    failure =
                        QStringLiteral("the inotify watch limit is reached (fs.inotify.max_user_watches") +
                        (limit.isEmpty() ? QString() : QStringLiteral(" = ") + limit) + QLatin1Char(')');
                } else if (error == EMFILE) {
                    failure = QStringLiteral(
                        "the inotify instance limit is reached (fs.inotify.max_user_instances)");
                } else if (error != 0) {
                    failure = QString::fromLocal8Bit(std::strerror(error));
                } else {
                    failure = QStringLiteral("the file system watcher refused it");
                }
                return;
            }
        }
        m_entries.insert(path, Entry{owner, std::move(handler)});
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
        m_entries.erase(it);
        if (m_watcher)
            m_watcher->removePath(path); // false when the folder went and took its watch along
        removed = true;
    });
    return removed;
}

bool WatchThread::isWatched(const Location& folder) {
    if (g_shutDown.load())
        return false;
    bool watched = false;
    runOnThread([&] { watched = m_watcher && m_watcher->directories().contains(folder.path()); });
    return watched;
}

} // namespace trevalin
