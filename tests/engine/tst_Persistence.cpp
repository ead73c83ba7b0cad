// The wiring of the store into the engine: FlagStore::save() writes the bookmarks,
// then the content, then flushes the folder store, each to its file. Uses the shared
// instances inside the test's private home.
#include "TestMain.h"
#include "store/StoreTestSupport.h"

#include "engine/Engine.h"
#include "engine/EnginePool.h"
#include "engine/FlagStore.h"
#include "store/BookmarkDatabase.h"
#include "store/CoreDataStack.h"
#include "store/CoreDatabase.h"
#include "store/Database.h"

#include <QDir>
#include <QFile>

using namespace trevalin;
using trevalin::test::LogRecorder;
using trevalin::test::makeRecord;
using trevalin::test::writeFile;

class TestPersistence : public QObject {
    Q_OBJECT

private slots:
    void saveWritesEachStoreInOrder() {
        LogRecorder log;
        Engine::start({.persistence = true, .flags = true});
        FlagStore& flags = FlagStore::shared();

        const QString home = QDir::homePath();
        const Location folder(home + "/photos");
        QDir().mkpath(folder.path());
        const Location file(folder.path() + "/one.jpg");
        QVERIFY(writeFile(file.path(), "jpeg"));
        Database::shared().set(file, makeRecord(file.path(), 4));
        Database::shared().markDatabaseModified();
        BookmarkDatabase::shared().store(file, SecurityBookmark::create(file));
        CoreDatabase::addFolder(folder, false);
        QVERIFY(EnginePool::waitForDone(5000));
        QVERIFY(flags.get(SubSystem::database, Flag::save));
        QVERIFY(flags.get(SubSystem::bookmarks, Flag::save));

        flags.save();
        QVERIFY(!flags.get(SubSystem::database, Flag::save));
        QVERIFY(!flags.get(SubSystem::bookmarks, Flag::save));
        QVERIFY(QFile::exists(Database::defaultFile()));
        QVERIFY(QFile::exists(BookmarkDatabase::defaultFile()));
        QVERIFY(CoreDatabase::contains(folder, *std::make_unique<CoreDataStack>()));
        const QStringList lines = log.lines();
        const auto bookmarks = lines.indexOf("INFO: Save operation; security bookmarks database written to "
                                             "storage [ BookmarkDatabase.save() ]");
        const auto content =
            lines.indexOf("INFO: Save operation; database content written to storage [ Database.save() ]");
        const auto folders = lines.indexOf("INFO: Saved core database [ CoreDatabase.asyncSave() ]");
        QVERIFY(bookmarks >= 0 && content > bookmarks && folders > content);
    }
};

TREVALIN_TEST_MAIN(TestPersistence)
#include "tst_Persistence.moc"
