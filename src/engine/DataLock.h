// DataLock: the right to write the program's data files (content database, bookmarks,
// folder store, settings). Whoever writes them (the desktop program, trevalinctl)
// holds an exclusive flock on "Trevalin.lock" in the data folder; trevalinctl is also
// refused while the desktop program runs (it owns its session-bus name). The lock is
// held until the object is destroyed (or the process ends, which releases it too).
//
// Thread-safety: one object per process, used from the main thread.
#pragma once

#include <QString>

namespace trevalin {

class DataLock {
public:
    // The bus name the desktop program owns while it runs.
    static constexpr const char* kServiceName = "org.corvane.Trevalin";
    // The lock file's name in the data folder.
    static constexpr const char* kLockFileName = "Trevalin.lock";

    DataLock() = default;
    ~DataLock();
    DataLock(const DataLock&) = delete;
    DataLock& operator=(const DataLock&) = delete;

    // <data folder>/Trevalin.lock.
    static QString lockFilePath();
    // Whether the desktop program owns its bus name; false when no session bus is
    // reachable.
    static bool desktopRunning();

    enum class Check { desktopAndFile, fileOnly };
    // Takes the lock without waiting. False with a one-line reason in `reason` when the
    // data files are in use or the lock file cannot be opened. The desktop program,
    // which owns the bus name itself, checks the file only.
    bool acquire(QString* reason, Check check = Check::desktopAndFile);
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace trevalin
