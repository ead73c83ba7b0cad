// CoreDataStack: the folder store — the Folder and File entities kept in the SQLite
// file "Trevalin.sqlite" in the program's data folder, with an in-memory working set
// (the "context") in front of it. Inserts, updates and removals change the working
// set at once, are visible to every lookup in this run, and reach the file only when
// save() writes the pending changes in one transaction. A failed save keeps them
// pending, so the next save tries again.
//
// The file is opened on first use. A file that is not a store of ours (not SQLite, or
// damaged) is set aside under a new name (see CorruptFile) and a new, empty store is
// created in its place. A store that cannot be opened at all (permissions, a full
// disk) is logged once and leaves a stack without a store: lookups find nothing and
// saves fail.
//
// Thread-safety: every public function may be called from any thread; the store
// handle and the working set are guarded by m_mutex, and each function is one
// critical section. Every change of the working set is reported by folder path
// (as a Location) through foldersChanged(), in batches (see ChangeBatcher).
#pragma once

#include "store/ChangeBatcher.h"
#include "store/Folder.h"
#include "store/RecordChanges.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <mutex>
#include <optional>
#include <vector>

struct sqlite3;

namespace trevalin {

class CoreDataStack : public QObject {
    Q_OBJECT

public:
    // The shared stack on the default store path, created on first use.
    static CoreDataStack& shared();
    // The model name; the store file is named after it.
    static constexpr const char* kModel = "Trevalin";
    // <data folder>/Trevalin.sqlite.
    static QString defaultStorePath();

    // A stack on `storePath` (opened on first use).
    explicit CoreDataStack(const QString& storePath = defaultStorePath(), QObject* parent = nullptr);
    ~CoreDataStack() override;

    QString storePath() const { return m_storePath; }
    // Before first use: open the file read-only, create nothing and set nothing aside (for
    // a reader that must change nothing). Saves then fail.
    void setReadOnly(bool readOnly);
    // Whether a store is attached (opens it on first call).
    bool hasStore();
    // Whether the store has been opened (or opening was tried); never opens it. When the
    // first opening finds folders, it reports a reset (foldersChanged).
    bool isOpened();
    // Where an unreadable store file was set aside when the store was opened; empty
    // when nothing was set aside or the store has not been opened yet.
    QString movedAside();
    // Why the store file could not be opened as it was: the SQLite error with the store
    // path; empty when it opened at once or has not been opened yet.
    QString openFailure();

    // Inserts `folder` unless a folder with the same path exists; returns whether it did.
    bool insertIfAbsent(const Folder& folder);
    // Number of folders whose path equals `path` exactly (0 or 1).
    int countPath(const QString& path);
    // All folders in insertion order.
    QList<Folder> folders();
    std::optional<Folder> folder(const QString& path);
    // Switches monitoring of the folder with `path`; false when there is none.
    bool setMonitored(const QString& path, bool monitored);
    // Removes the folder with `path` from the working set; false when there is none.
    bool removeFolder(const QString& path);
    // All File entities.
    QList<File> files();

    // Whether the working set holds changes not yet written.
    bool hasChanges();
    // Writes the pending changes in one transaction. Nothing pending: returns true
    // and does nothing. On failure returns false, keeps the changes pending and sets
    // `error` to the error with its details.
    bool save(QString* error = nullptr);
    // Deletes every Folder row in the store at once, then resets the working set from
    // the store (pending changes are dropped). False with `error` on failure.
    bool batchDeleteFolders(QString* error = nullptr);
    // Drops pending changes and rereads the working set from the store.
    void reset();
    // Closes the store and removes its files; afterwards the stack has no store.
    // False with `error` on failure.
    bool destroyStore(QString* error = nullptr);

    // Delivers the changes gathered so far at once (foldersChanged() on this thread).
    void flushChanges();
    void setChangeInterval(std::chrono::milliseconds interval);

signals:
    // The folders that changed since the last batch, keyed by Location(path), in the
    // working set's order; emitted from the batchers' thread. See RecordChanges.
    void foldersChanged(const trevalin::RecordChanges& changes);

private:
    bool ensureOpenLocked();
    bool openFirstTimeLocked();
    int openLocked();
    bool loadLocked();
    QString errorLocked(int code) const;
    void closeLocked();

    const QString m_storePath;
    std::mutex m_mutex;           // guards everything below
    sqlite3* m_db = nullptr;      // the store; null when not open
    bool m_openAttempted = false; // opening is tried once
    bool m_readOnly = false;
    QString m_movedAside;          // where an unreadable store file went
    QString m_openFailure;         // why the first open failed
    std::vector<Folder> m_folders; // the working set, insertion order
    QSet<QUuid> m_inserted;        // ids inserted and not yet saved
    QSet<QUuid> m_updated;         // ids changed and not yet saved
    QSet<QUuid> m_deleted;         // saved ids removed and not yet saved
    // Declared last: destroyed (its delivery thread joined) before everything it reports on.
    ChangeBatcher m_changes;
};

} // namespace trevalin
