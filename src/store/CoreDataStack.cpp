#include "store/CoreDataStack.h"

#include "logging/Logger.h"
#include "store/CorruptFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sqlite3.h>

namespace trevalin {

namespace {

const char* const kSchema = "CREATE TABLE IF NOT EXISTS Folder ("
                            " id TEXT PRIMARY KEY NOT NULL,"
                            " location TEXT NOT NULL,"
                            " name TEXT NOT NULL,"
                            " path TEXT NOT NULL,"
                            " created REAL NOT NULL DEFAULT 0,"
                            " modified REAL NOT NULL DEFAULT 0,"
                            " monitored INTEGER NOT NULL DEFAULT 0);"
                            "CREATE INDEX IF NOT EXISTS FolderPath ON Folder(path);"
                            "CREATE TABLE IF NOT EXISTS File (id TEXT PRIMARY KEY NOT NULL);";

// A prepared statement that finalises itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return m_rc == SQLITE_OK; }
    int rc() const { return m_rc; }
    sqlite3_stmt* get() const { return m_stmt; }
    void bind(int index, const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    void bind(int index, double value) { sqlite3_bind_double(m_stmt, index, value); }
    void bind(int index, bool value) { sqlite3_bind_int(m_stmt, index, value ? 1 : 0); }
    QString text(int column) const {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        return QString::fromUtf8(bytes, sqlite3_column_bytes(m_stmt, column));
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_ERROR;
};

QString idText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

} // namespace

CoreDataStack& CoreDataStack::shared() {
    static CoreDataStack* instance = new CoreDataStack();
    return *instance;
}

QString CoreDataStack::defaultStorePath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + u'/' +
           QString::fromLatin1(kModel) + QStringLiteral(".sqlite");
}

CoreDataStack::CoreDataStack(const QString& storePath, QObject* parent)
    : QObject(parent)
    , m_storePath(storePath) {
    connect(&m_changes, &ChangeBatcher::batch, this, &CoreDataStack::foldersChanged, Qt::DirectConnection);
}

void CoreDataStack::flushChanges() {
    m_changes.flush();
}

void CoreDataStack::setChangeInterval(std::chrono::milliseconds interval) {
    m_changes.setInterval(interval);
}

CoreDataStack::~CoreDataStack() {
    std::lock_guard lock(m_mutex);
    closeLocked();
}

void CoreDataStack::closeLocked() {
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

QString CoreDataStack::errorLocked(int code) const {
    const QString message =
        m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(code));
    return message + QStringLiteral(", {code = %1, store = %2}").arg(code).arg(m_storePath);
}

void CoreDataStack::setReadOnly(bool readOnly) {
    std::lock_guard lock(m_mutex);
    m_readOnly = readOnly;
}

int CoreDataStack::openLocked() {
    if (m_readOnly) {
        int rc = sqlite3_open_v2(QFile::encodeName(m_storePath).constData(), &m_db,
                                 SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, nullptr);
        if (rc == SQLITE_OK && !loadLocked())
            rc = sqlite3_errcode(m_db) == SQLITE_OK ? SQLITE_ERROR : sqlite3_errcode(m_db);
        return rc;
    }
    QDir().mkpath(QFileInfo(m_storePath).absolutePath());
    int rc = sqlite3_open_v2(QFile::encodeName(m_storePath).constData(), &m_db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(m_db, 5000);
        char* message = nullptr;
        rc = sqlite3_exec(m_db, kSchema, nullptr, nullptr, &message);
        sqlite3_free(message);
    }
    if (rc == SQLITE_OK && !loadLocked())
        rc = sqlite3_errcode(m_db) == SQLITE_OK ? SQLITE_ERROR : sqlite3_errcode(m_db);
    return rc;
}

bool CoreDataStack::ensureOpenLocked() {
    if (m_db || m_openAttempted)
        return m_db != nullptr;
    m_openAttempted = true;
    const bool opened = openFirstTimeLocked();
    // Lists made before the store opened learn its folders now.
    if (opened && !m_folders.empty())
        m_changes.reset();
    return opened;
}

bool CoreDataStack::isOpened() {
    std::lock_guard lock(m_mutex);
    return m_openAttempted;
}

bool CoreDataStack::openFirstTimeLocked() {
    int rc = openLocked();
    if (rc == SQLITE_OK)
        return true;
    QString error = errorLocked(rc);
    closeLocked();
    TLOG_ERROR(QStringLiteral(
        "Unable to load persistent core data store [ CoreDataStack.persistentStoreCoordinator ]"));
    TLOG_ERROR(error);
    m_openFailure = error;
    // A file that is not a database of ours (not SQLite at all, damaged, or without a
    // readable Folder table) is kept aside with its journal, and a new store replaces it.
    // Any other failure (permissions, a full disk, a locked file) leaves the file alone.
    const int primary = rc & 0xff;
    if (m_readOnly || (primary != SQLITE_NOTADB && primary != SQLITE_CORRUPT && primary != SQLITE_ERROR))
        return false;
    const QString tag = QStringLiteral("CoreDataStack.persistentStoreCoordinator");
    const QString aside = CorruptFile::setAside(m_storePath, tag);
    if (aside.isEmpty())
        return false;
    m_movedAside = aside;
    for (const QString& suffix : {QStringLiteral("-journal"), QStringLiteral("-wal")})
        CorruptFile::setAsideCompanion(m_storePath + suffix, aside, suffix, tag);
    QFile::remove(m_storePath + QStringLiteral("-shm")); // an index into the WAL, rebuilt on open
    rc = openLocked();
    if (rc == SQLITE_OK)
        return true;
    m_openFailure = errorLocked(rc);
    closeLocked();
    TLOG_ERROR(m_openFailure);
    return false;
}

QString CoreDataStack::movedAside() {
    std::lock_guard lock(m_mutex);
    return m_movedAside;
}

QString CoreDataStack::openFailure() {
    std::lock_guard lock(m_mutex);
    return m_openFailure;
}

bool CoreDataStack::loadLocked() {
    m_folders.clear();
    m_inserted.clear();
    m_updated.clear();
    m_deleted.clear();
    if (!m_db)
        return false;
    Statement query(
        m_db, "SELECT id, location, name, path, created, modified, monitored FROM Folder ORDER BY rowid");
    if (!query.ok())
        return false;
    int rc;
    while ((rc = sqlite3_step(query.get())) == SQLITE_ROW) {
        Folder folder;
        folder.id = QUuid::fromString(query.text(0));
        folder.location = Location::fromUrlText(query.text(1));
        folder.name = query.text(2);
        folder.path = query.text(3);
        folder.created = sqlite3_column_double(query.get(), 4);
        folder.modified = sqlite3_column_double(query.get(), 5);
        folder.monitored = sqlite3_column_int(query.get(), 6) != 0;
        m_folders.push_back(std::move(folder));
    }
    return rc == SQLITE_DONE;
}

bool CoreDataStack::hasStore() {
    std::lock_guard lock(m_mutex);
    return ensureOpenLocked();
}

bool CoreDataStack::insertIfAbsent(const Folder& folder) {
    {
        std::lock_guard lock(m_mutex);
        ensureOpenLocked();
        for (const Folder& existing : m_folders)
            if (existing.path == folder.path)
                return false;
        m_folders.push_back(folder);
        m_inserted.insert(folder.id);
        m_changes.inserted(Location(folder.path));
    }
    return true;
}

int CoreDataStack::countPath(const QString& path) {
    std::lock_guard lock(m_mutex);
    if (!ensureOpenLocked())
        return 0;
    for (const Folder& folder : m_folders)
        if (folder.path == path)
            return 1;
    return 0;
}

QList<Folder> CoreDataStack::folders() {
    std::lock_guard lock(m_mutex);
    if (!ensureOpenLocked())
        return {};
    return QList<Folder>(m_folders.begin(), m_folders.end());
}

std::optional<Folder> CoreDataStack::folder(const QString& path) {
    std::lock_guard lock(m_mutex);
    if (!ensureOpenLocked())
        return std::nullopt;
    for (const Folder& folder : m_folders)
        if (folder.path == path)
            return folder;
    return std::nullopt;
}

bool CoreDataStack::setMonitored(const QString& path, bool monitored) {
    {
        std::lock_guard lock(m_mutex);
        ensureOpenLocked();
        auto it =
            std::find_if(m_folders.begin(), m_folders.end(), [&](const Folder& f) { return f.path == path; });
        if (it == m_folders.end())
            return false;
        if (it->monitored == monitored)
            return true;
        it->monitored = monitored;
        if (!m_inserted.contains(it->id))
            m_updated.insert(it->id);
        m_changes.changed(Location(path));
    }
    return true;
}

bool CoreDataStack::removeFolder(const QString& path) {
    {
        std::lock_guard lock(m_mutex);
        ensureOpenLocked();
        auto it =
            std::find_if(m_folders.begin(), m_folders.end(), [&](const Folder& f) { return f.path == path; });
        if (it == m_folders.end())
            return false;
        const QUuid id = it->id;
        m_folders.erase(it);
        m_updated.remove(id);
        if (!m_inserted.remove(id))
            m_deleted.insert(id);
        m_changes.removed(Location(path));
    }
    return true;
}

QList<File> CoreDataStack::files() {
    std::lock_guard lock(m_mutex);
    if (!ensureOpenLocked())
        return {};
    QList<File> out;
    Statement query(m_db, "SELECT id FROM File ORDER BY rowid");
    while (query.ok() && sqlite3_step(query.get()) == SQLITE_ROW)
        out.append(File{QUuid::fromString(query.text(0))});
    return out;
}

bool CoreDataStack::hasChanges() {
    std::lock_guard lock(m_mutex);
    return !m_inserted.isEmpty() || !m_updated.isEmpty() || !m_deleted.isEmpty();
}

bool CoreDataStack::save(QString* error) {
    std::lock_guard lock(m_mutex);
    if (m_inserted.isEmpty() && m_updated.isEmpty() && m_deleted.isEmpty())
        return true;
    if (!ensureOpenLocked()) {
        if (error)
            *error = QStringLiteral("This store has no persistent store (%1)").arg(m_openFailure);
        return false;
    }
    auto fail = [&](int rc) {
        if (error)
            *error = errorLocked(rc);
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    };
    int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return fail(rc);
    {
        Statement insert(m_db, "INSERT INTO Folder (id, location, name, path, created, modified, monitored) "
                               "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        Statement update(m_db, "UPDATE Folder SET location = ?2, name = ?3, path = ?4, created = ?5, "
                               "modified = ?6, monitored = ?7 WHERE id = ?1");
        Statement remove(m_db, "DELETE FROM Folder WHERE id = ?1");
        if (!insert.ok())
            return fail(insert.rc());
        if (!update.ok())
            return fail(update.rc());
        if (!remove.ok())
            return fail(remove.rc());
        for (const Folder& folder : m_folders) {
            Statement* target = m_inserted.contains(folder.id)  ? &insert
                                : m_updated.contains(folder.id) ? &update
                                                                : nullptr;
            if (!target)
                continue;
            sqlite3_reset(target->get());
            target->bind(1, idText(folder.id));
            target->bind(2, folder.location.urlText());
            target->bind(3, folder.name);
            target->bind(4, folder.path);
            target->bind(5, folder.created);
            target->bind(6, folder.modified);
            target->bind(7, folder.monitored);
            rc = sqlite3_step(target->get());
            if (rc != SQLITE_DONE)
                return fail(rc);
        }
        for (const QUuid& id : std::as_const(m_deleted)) {
            sqlite3_reset(remove.get());
            remove.bind(1, idText(id));
            rc = sqlite3_step(remove.get());
            if (rc != SQLITE_DONE)
                return fail(rc);
        }
    }
    rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return fail(rc);
    m_inserted.clear();
    m_updated.clear();
    m_deleted.clear();
    return true;
}

bool CoreDataStack::batchDeleteFolders(QString* error) {
    {
        std::lock_guard lock(m_mutex);
        if (!ensureOpenLocked()) {
            if (error)
                *error = QStringLiteral("This store has no persistent store (%1)").arg(m_openFailure);
            return false;
        }
        const int rc = sqlite3_exec(m_db, "DELETE FROM Folder", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            if (error)
                *error = errorLocked(rc);
            return false;
        }
        loadLocked();
        m_changes.reset();
    }
    return true;
}

void CoreDataStack::reset() {
    {
        std::lock_guard lock(m_mutex);
        if (ensureOpenLocked())
            loadLocked();
        m_changes.reset();
    }
}

bool CoreDataStack::destroyStore(QString* error) {
    {
        std::lock_guard lock(m_mutex);
        closeLocked();
        m_openAttempted = true; // the stack has no store from now on
        m_folders.clear();
        m_inserted.clear();
        m_updated.clear();
        m_deleted.clear();
        m_changes.reset();
        for (const QString& suffix :
             {QString(), QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
            QFile file(m_storePath + suffix);
            if (file.exists() && !file.remove()) {
                if (error)
                    *error = file.errorString() + QStringLiteral(", {store = %1}").arg(m_storePath + suffix);
                return false;
            }
        }
    }
    return true;
}

} // namespace trevalin
