// Folder store: entity creation and its errors, the working set in front of the SQLite
// file, emptying it, and the store that cannot be opened or read.
#include "StoreTestSupport.h"
#include "TestMain.h"

#include "model/FileSystemError.h"
#include "store/CoreDataStack.h"
#include "store/CoreDatabase.h"
#include "store/EntityFunctions.h"
#include "store/StoreHooks.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <sys/stat.h>

using namespace trevalin;
using namespace trevalin::test;

class TestFolderStore : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    LogRecorder m_log;
    QString storePath() const { return m_dir.path() + "/store/Trevalin.sqlite"; }
    Location makeFolder(const QString& name) {
        const QString path = m_dir.path() + "/folders/" + name;
        QDir().mkpath(path);
        return Location(path);
    }

private slots:
    void init() {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        m_log.clear();
    }
    void cleanup() { QVERIFY(StoreHooks::waitForBackground(10000)); }

    // A folder entity: named after its path, one per exact path, none for a missing folder;
    // addFolder() logs why it refused.
    void createFolder() {
        CoreDataStack stack(storePath());
        const Location location = makeFolder("My Photos & more");
        const Folder folder = EntityFunctions::createFolder(location, stack);
        QCOMPARE(folder.path, location.path());
        QCOMPARE(folder.name, QString("My Photos & more"));
        QVERIFY(!folder.id.isNull());
        QVERIFY(CoreDatabase::contains(location, stack));
        QCOMPARE(stack.countPath(location.path() + "/"), 0);
        QCOMPARE(stack.countPath(location.path().toUpper()), 0);
        QVERIFY(CoreDatabase::missing(location.child("sub"), stack));
        CoreDatabase::addFolder(location, false, stack);
        QVERIFY(m_log.has("ERROR: ObjectExists [ CoreDatabase.addFolder(_:commit:) ]"));
        CoreDatabase::addFolder(Location(m_dir.path() + "/nowhere"), false, stack);
        QVERIFY(m_log.has("ERROR: NotFound [ CoreDatabase.addFolder(_:commit:) ]"));
        QCOMPARE(stack.folders().size(), 1);
    }

    void unreadableFolder() {
        CoreDataStack stack(storePath());
        const Location location = makeFolder("locked");
        // As root, the check runs in a child that has given up root, so the mode counts.
        QVERIFY(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(location.path()).constData(), 0300) == 0);
        const int result = test::runUnprivileged([&] {
            try {
                EntityFunctions::createFolder(location, stack);
                return 1; // an unreadable folder was created
            } catch (const FileSystemException& error) {
                return error.error() == FileSystemError::NotReadable ? 0 : 2;
            } catch (...) {
                return 3;
            }
        });
        QVERIFY(::chmod(QFile::encodeName(location.path()).constData(), 0700) == 0);
        QCOMPARE(result, 0);
        QCOMPARE(stack.countPath(location.path()), 0);
    }

    // Changes are visible at once, reach the file only on save, and read back on reopen.
    void unsavedChangesReachFileOnlyOnSave() {
        const Location a = makeFolder("a");
        const Location b = makeFolder("b");
        {
            CoreDataStack stack(storePath());
            QSignalSpy spy(&stack, &CoreDataStack::foldersChanged);
            CoreDatabase::addFolder(a, false, stack);
            CoreDatabase::addFolder(b, false, stack);
            stack.flushChanges();
            QCOMPARE(spy.count(), 1);
            QCOMPARE(spy.at(0).at(0).value<RecordChanges>().inserted, (QList<Location>{a, b}));
            QCOMPARE(CoreDatabase::allFolders(&stack), (QList<Location>{a, b}));
            // Another connection to the file sees nothing yet.
            CoreDataStack other(storePath());
            QVERIFY(CoreDatabase::missing(a, other));

            CoreDatabase::save(&stack);
            QVERIFY(!stack.hasChanges());
            m_log.clear();
            CoreDatabase::save(&stack);
            CoreDatabase::asyncSave(&stack);
            QVERIFY(m_log.lines().isEmpty()); // nothing pending: nothing written, nothing logged

            QVERIFY(CoreDatabase::setMonitored(b, true, &stack));
            CoreDatabase::asyncSave(&stack);
        }
        CoreDataStack reopened(storePath());
        QCOMPARE(CoreDatabase::allFolders(&reopened), (QList<Location>{a, b}));
        QCOMPARE(CoreDatabase::monitoredFolders(&reopened), QList<Location>{b});

        // Emptying: removeAllFolders() is a change like any other (the file follows on save);
        // purge() empties the store and its file at once; deleteStores() removes the file.
        CoreDatabase::removeAllFolders(&reopened);
        QVERIFY(reopened.folders().isEmpty());
        QCOMPARE(CoreDataStack(storePath()).folders().size(), 2);
        CoreDatabase::addFolder(makeFolder("c"), false, reopened);
        CoreDatabase::purge(&reopened);
        QVERIFY(reopened.folders().isEmpty() && !reopened.hasChanges());
        QVERIFY(CoreDataStack(storePath()).folders().isEmpty());
        CoreDatabase::addFolder(makeFolder("d"), false, reopened);
        CoreDatabase::deleteStores(&reopened);
        QVERIFY(reopened.folders().isEmpty());
        QVERIFY(!QFile::exists(storePath()));
    }

    void storeThatCannotOpen() {
        // A folder where the store file should be: SQLite cannot open it, even as root.
        QDir().mkpath(storePath());
        CoreDataStack stack(storePath());
        const Location a = makeFolder("a");
        QVERIFY(!stack.hasStore());
        QVERIFY(m_log.has("ERROR: Unable to load persistent core data store "
                          "[ CoreDataStack.persistentStoreCoordinator ]"));
        CoreDatabase::addFolder(a, false, stack);
        QVERIFY(CoreDatabase::missing(a, stack));
        m_log.clear();
        CoreDatabase::save(&stack);
        QVERIFY(m_log.hasPrefix("ERROR: Error; failed to save core database on thread "));
        QVERIFY(stack.hasChanges()); // still pending
    }

    void unreadableStoreIsSetAsideAndReplaced_data() {
        QTest::addColumn<QByteArray>("bytes"); // empty: an SQLite file with a foreign Folder table
        QTest::newRow("not SQLite") << QByteArray("this is not a database\n");
        QTest::newRow("damaged SQLite header")
            << QByteArray("SQLite format 3\0", 16) + QByteArray(200, '\xff');
        QTest::newRow("foreign Folder table") << QByteArray();
    }
    void unreadableStoreIsSetAsideAndReplaced() {
        QFETCH(QByteArray, bytes);
        QDir().mkpath(QFileInfo(storePath()).absolutePath());
        // Twice in a row, within the same second: the first copy set aside must survive.
        QSet<QByteArray> expected;
        for (const QString& name : {QStringLiteral("first"), QStringLiteral("second")}) {
            QFile::remove(storePath());
            if (bytes.isEmpty()) {
                sqlite3* db = nullptr;
                QCOMPARE(sqlite3_open(QFile::encodeName(storePath()).constData(), &db), SQLITE_OK);
                QCOMPARE(sqlite3_exec(db, "CREATE TABLE Folder (x INTEGER)", nullptr, nullptr, nullptr),
                         SQLITE_OK);
                sqlite3_close(db);
            } else {
                QVERIFY(test::writeFile(storePath(), bytes + name.toLatin1()));
            }
            expected.insert(test::readAll(storePath()));
            m_log.clear();
            CoreDataStack stack(storePath());
            const Location folder = makeFolder(name);
            QVERIFY(stack.hasStore());
            QVERIFY(m_log.has("ERROR: Unreadable file moved aside to " + stack.movedAside() +
                              " [ CoreDataStack.persistentStoreCoordinator ]"));
            CoreDatabase::addFolder(folder, false, stack);
            QString error;
            QVERIFY2(stack.save(&error), qPrintable(error));
            QVERIFY(CoreDatabase::contains(folder, *std::make_unique<CoreDataStack>(storePath())));
        }
        QSet<QByteArray> kept;
        for (const QString& copy : test::asideCopies(storePath()))
            kept.insert(test::readAll(copy));
        QCOMPARE(kept, expected);
    }
};

TREVALIN_TEST_MAIN(TestFolderStore)
#include "tst_FolderStore.moc"
