// Security bookmarks: the token, the bookmarks file, obtaining and stashing, the start-up
// validation, and the clean-up that purges stale and orphaned entries.
#include "StoreTestSupport.h"
#include "TestMain.h"

#include "store/BookmarkDatabase.h"
#include "store/BookmarkError.h"
#include "store/Cleanup.h"
#include "store/CoreDataStack.h"
#include "store/CoreDatabase.h"
#include "store/Database.h"
#include "store/LocationState.h"
#include "store/StoreHooks.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>

using namespace trevalin;
using namespace trevalin::test;

class TestBookmarkDatabase : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    LogRecorder m_log;
    LocationState m_state;

    QString bookmarksFile() const { return m_dir.path() + "/Trevalin.bookmarks.plist"; }
    Location makeFile(const QString& name) {
        const QString path = m_dir.path() + "/files/" + name;
        QDir().mkpath(QFileInfo(path).absolutePath());
        writeFile(path, "x");
        return Location(path);
    }
    bool flag(StoreHooks::Flag f) { return StoreHooks::flag(StoreHooks::SubSystem::bookmarks, f); }

private slots:
    void init() {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        StoreHooks::uninstall();
        m_state.clear();
        m_log.clear();
    }
    void cleanup() { QVERIFY(StoreHooks::waitForBackground(10000)); }

    // A token resolves to its file; one that is not a token, or is cut short, is refused
    // (staleness and deleted files: sandboxValidate() below).
    void tokenResolution() {
        const Location file = makeFile("a file.txt");
        const SecurityBookmark bookmark = SecurityBookmark::create(file);
        QCOMPARE(bookmark.resolve().location, file);
        QVERIFY(!bookmark.resolve().stale);
        for (const QByteArray& token : {QByteArray("not a token"), bookmark.token().left(20)})
            QVERIFY(errorThrown<BookmarkException>([&] { SecurityBookmark::resolve(token); }) ==
                    BookmarkError::GetBookmarkError);
    }

    // Saves are gated by the flag: a start without a file writes nothing; once flagged the
    // empty file is written, and a start from it loads, validates nothing and is ready.
    void startWithoutBookmarks() {
        BookmarkDatabase db(bookmarksFile(), &m_state);
        db.start(); // load fails (no file), the fallback save is not flagged
        QVERIFY(!QFile::exists(bookmarksFile()));
        QVERIFY(m_log.has("WARNING: The security bookmarks database could not be opened "
                          "[ BookmarkDatabase.load() ]"));
        StoreHooks::setFlag(StoreHooks::SubSystem::bookmarks, StoreHooks::Flag::save, true);
        db.save();
        QVERIFY(!flag(StoreHooks::Flag::save));
        BookmarkDatabase again(bookmarksFile(), &m_state);
        again.start();
        QVERIFY(asideCopies(bookmarksFile()).isEmpty()); // it read back
        again.sandboxValidate(again.db());
        QVERIFY(m_log.has("INFO: No locations provided in sandbox escape request; nothing to do "
                          "[ BookmarkDatabase.sandboxValidate(data:) ]"));
        // Nothing to reopen still counts as ready, so start-up can complete.
        QVERIFY(flag(StoreHooks::Flag::ready));
    }

    void rejectedDocuments_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        auto row = [](const char* name, const QByteArray& bytes, const char* reason = "") {
            QTest::newRow(name) << bytes << QString::fromUtf8(reason);
        };
        auto marks = [](const QByteArray& entries) {
            return plistDocument("<dict><key>bookmarks</key><array>" + entries + "</array></dict>");
        };
        const QByteArray url = urlXml("file:///tmp/x");
        const QByteArray id = "<key>identifier</key><string>0F2B6C1E-3D4A-4B5C-8D9E-0A1B2C3D4E5F</string>";
        row("empty", QByteArray());
        row("wrong root", plistDocument("<array/>"));
        row("no bookmarks key", plistDocument("<dict><key>db</key><array/></dict>"),
            "No value associated with key \"bookmarks\"");
        row("odd", marks(url), "Unkeyed container reached end before value in key-value pair");
        row("no token", marks(url + "<dict>" + id + "</dict>"), "No value associated with key \"token\"");
        row("bad base64", marks(url + "<dict>" + id + "<key>token</key><data>*!*</data></dict>"));
    }
    void rejectedDocuments() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QVERIFY(writeFile(bookmarksFile(), bytes));
        BookmarkDatabase db(bookmarksFile(), &m_state);
        const Location kept = makeFile("kept");
        db.store(kept, SecurityBookmark::create(kept));
        QVERIFY(errorThrown<BookmarkException>([&] { db.load(); }) == BookmarkError::LoadBookmarkError);
        QVERIFY(m_log.has("ERROR: Loading/parsing document bookmarks failed [ BookmarkDatabase.load() ]"));
        if (!reason.isEmpty())
            QVERIFY2(m_log.hasPrefix("ERROR: " + reason), qPrintable(m_log.lines().join('\n')));
        QCOMPARE(db.count(), 1);
        QCOMPARE(asideCopies(bookmarksFile()).size(), 1);
        QCOMPARE(readAll(asideCopies(bookmarksFile()).constFirst()), bytes);
    }

    // Obtaining, stashing, storing one, and reset().
    void obtainAndStash() {
        BookmarkDatabase db(bookmarksFile(), &m_state);
        const Location a = makeFile("a");
        const Location b = makeFile("b");
        const Location gone(m_dir.path() + "/files/gone");
        const BookmarkDatabase::Map obtained = db.obtain({a, gone});
        QCOMPARE(obtained.keys(), QList<Location>{a});
        QVERIFY(m_state.hasAccess(a));
        QVERIFY(!m_state.hasAccess(gone));

        db.store(a, obtained.value(a));
        const QUuid first = db.db().value(a).identifier();
        db.stash({a, b, gone});
        QCOMPARE(db.count(), 2);
        QCOMPARE(db.db().value(a).identifier(), first); // existing bookmark kept
        // The stash wrote the file at once.
        BookmarkDatabase reread(bookmarksFile(), &m_state);
        reread.load();
        QCOMPARE(reread.count(), 2);

        db.store(gone);
        QVERIFY(m_log.has("ERROR: Failed to obtain security bookmark for " + gone.path() +
                          " [ BookmarkDatabase.store(_:) ]"));
        const Location c = makeFile("c");
        db.store(c);
        reread.load();
        QVERIFY(reread.contains(c));

        db.reset(); // forgets the bookmarks and the access they gave
        QCOMPARE(db.count(), 0);
        QVERIFY(StoreHooks::waitForBackground(5000));
        QCOMPARE(m_state.count(), 0);
    }

    // Start-up validation, then the clean-up: a bookmark whose file was replaced is renewed
    // and written by the next save (the whole file reads back equal, the odd name too); a
    // deleted file is stale, its record and bookmark are purged, and so are the bookmarks
    // of untracked files and of folders not stored.
    void validateThenCleanUp() {
        std::atomic<int> triaged{0};
        std::atomic<int> scheduled{0};
        StoreHooks::install(
            nullptr, nullptr, [&] { ++scheduled; }, [&] { ++triaged; });
        Database content(m_dir.path() + "/Trevalin.database.plist");
        CoreDataStack folders(m_dir.path() + "/Trevalin.sqlite");
        BookmarkDatabase bookmarks(bookmarksFile(), &m_state);
        const Location kept =
            makeFile(QString::fromUtf8("R&D <1> \"q\", cr\rlf\ntab\t \xF0\x9F\x8E\x89.txt"));
        const Location replaced = makeFile("replaced.txt");
        const Location deleted = makeFile("deleted.txt");
        const Location untracked = makeFile("untracked.txt");
        const Location storedFolder(m_dir.path() + "/stored");
        const Location droppedFolder(m_dir.path() + "/dropped");
        QDir().mkpath(storedFolder.path());
        QDir().mkpath(droppedFolder.path());
        CoreDatabase::addFolder(storedFolder, false, folders);
        for (const Location& l : {kept, replaced, deleted})
            content.set(l, makeRecord(l.path()));
        for (const Location& l : {kept, replaced, deleted, untracked, storedFolder, droppedFolder})
            bookmarks.store(l, SecurityBookmark::create(l));
        const QByteArray oldToken = bookmarks.db().value(replaced).token();
        QVERIFY(QFile::remove(deleted.path()));
        const Location twin = makeFile("twin");
        QVERIFY(::rename(QFile::encodeName(twin.path()).constData(),
                         QFile::encodeName(replaced.path()).constData()) == 0);
        QVERIFY(StoreHooks::waitForBackground(5000));
        StoreHooks::setFlag(StoreHooks::SubSystem::bookmarks, StoreHooks::Flag::save, false);

        bookmarks.sandboxValidate(bookmarks.db());
        QCOMPARE(bookmarks.staleBookmarks(), OrderedSet<Location>{deleted});
        QVERIFY(bookmarks.db().value(replaced).token() != oldToken);
        QVERIFY(!bookmarks.db().value(replaced).resolve().stale);
        QVERIFY(m_state.hasAccess(replaced));
        QVERIFY(flag(StoreHooks::Flag::ready));
        // The renewal raises the save flag; validation's low-priority save, or this one, writes it.
        QVERIFY(StoreHooks::waitForBackground(5000));
        bookmarks.save();
        BookmarkDatabase reread(bookmarksFile(), &m_state);
        reread.load();
        QCOMPARE(reread.db(), bookmarks.db());
        StoreHooks::setFlag(StoreHooks::SubSystem::bookmarks, StoreHooks::Flag::save, false);
        StoreHooks::setFlag(StoreHooks::SubSystem::database, StoreHooks::Flag::save, false);

        Cleanup::databases(content, bookmarks, folders);
        QVERIFY(StoreHooks::waitForBackground(5000));
        QCOMPARE(content.keys(), (QList<Location>{kept, replaced}));
        QVERIFY(bookmarks.staleBookmarks().isEmpty());
        QCOMPARE(bookmarks.count(), 3);
        QVERIFY(bookmarks.contains(kept) && bookmarks.contains(replaced) && bookmarks.contains(storedFolder));
        QVERIFY(StoreHooks::flag(StoreHooks::SubSystem::database, StoreHooks::Flag::save));
        QVERIFY(flag(StoreHooks::Flag::save));
        QCOMPARE(triaged.load(), 1);
        QCOMPARE(scheduled.load(), 1);
    }

    void unreadableLocationsKeepRecordAndBookmark_data() {
        QTest::addColumn<bool>("lockFolder"); // else the file itself
        QTest::newRow("file without read permission") << false;
        QTest::newRow("folder that cannot be searched") << true;
    }
    void unreadableLocationsKeepRecordAndBookmark() {
        TREVALIN_RUN_UNPRIVILEGED();
        QFETCH(bool, lockFolder);
        StoreHooks::install(
            nullptr, nullptr, [] {}, [] {});
        Database content(m_dir.path() + "/Trevalin.database.plist");
        CoreDataStack folders(m_dir.path() + "/Trevalin.sqlite");
        BookmarkDatabase bookmarks(bookmarksFile(), &m_state);
        const Location file = makeFile("private.txt");
        const QString locked = lockFolder ? m_dir.path() + "/files" : file.path();
        content.set(file, makeRecord(file.path()));
        if (lockFolder)
            bookmarks.store(file, SecurityBookmark::create(file));
        QVERIFY(::chmod(QFile::encodeName(locked).constData(), 0) == 0);
        if (!lockFolder) // made while unreadable, as when the user adds such a file
            bookmarks.store(file, SecurityBookmark::create(file));

        bookmarks.sandboxValidate(bookmarks.db());
        Cleanup::databases(content, bookmarks, folders);
        QVERIFY(StoreHooks::waitForBackground(5000));
        QVERIFY(::chmod(QFile::encodeName(locked).constData(), 0700) == 0);

        QVERIFY(bookmarks.staleBookmarks().isEmpty());
        QVERIFY(bookmarks.contains(file));
        QVERIFY(content.contains(file));
        QVERIFY(m_log.has("WARNING: Location exists but cannot be read; its bookmark is kept: " +
                          file.path() + " [ BookmarkDatabase.sandboxValidate(data:) ]"));
    }
};

TREVALIN_TEST_MAIN(TestBookmarkDatabase)
#include "tst_BookmarkDatabase.moc"
