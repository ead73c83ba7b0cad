// Engine::start(): what each option wires, that no piece runs twice, that the wiring
// comes before the databases load, so their second "ready" completes start-up, and
// that the wired savers write the real stores. The pieces are once per process: the
// cases build on each other, in order.
#include "LogRecorder.h"
#include "TestMain.h"
#include "store/StoreTestSupport.h"

#include "engine/Engine.h"
#include "engine/EnginePool.h"
#include "engine/FlagStore.h"
#include "logging/DebugGate.h"
#include "store/AppSettings.h"
#include "store/BookmarkDatabase.h"
#include "store/CoreDataStack.h"
#include "store/CoreDatabase.h"
#include "store/Database.h"
#include "store/Debugging.h"
#include "store/StoreHooks.h"

#include <QSemaphore>
#include <QThreadPool>

using namespace trevalin;
using trevalin::test::LogRecorder;

class TestEngine : public QObject {
    Q_OBJECT

private slots:
    void withoutOptionsOnlyTheStoreAndTheDebugGate() {
        AppSettings::shared().setDebugging(true);
        QVERIFY(!DebugGate::isSet());
        Engine::start({});
        QVERIFY(DebugGate::flag());

        // The store's background work runs on the engine pool.
        QSemaphore started;
        QSemaphore release;
        StoreHooks::runLow([&] {
            started.release();
            release.acquire();
        });
        QVERIFY(started.tryAcquire(1, 5000));
        QCOMPARE(EnginePool::pool().activeThreadCount(), 1);
        release.release();
        QVERIFY(StoreHooks::waitForBackground(5000));

        // Nothing else: the store's flags stay its own, no flag is stored, no algorithm
        // selection is loaded (loading would store the defaults).
        StoreHooks::setFlag(StoreHooks::SubSystem::database, StoreHooks::Flag::ready, true);
        QVERIFY(!FlagStore::shared().get(SubSystem::database, Flag::ready));
        QCOMPARE(FlagStore::shared().keyCount(), 0);
        QVERIFY(AppSettings::shared().algorithmsData().isEmpty());
    }

    void eachPieceRunsOnce() {
        LogRecorder log;
        for (int i = 0; i < 2; ++i)
            Engine::start({.flags = true, .algorithms = true});
        QCOMPARE(FlagStore::shared().keyCount(), 9);
        QVERIFY(!AppSettings::shared().algorithmsData().isEmpty());
        QCOMPARE(log.countContaining(QStringLiteral("[ AppSettings.loadAlgorithmStatus() ]")), 1);

        FlagStore::shared().set(SubSystem::bookmarks, Flag::save, true);
        Engine::start({.flags = true});
        QVERIFY(FlagStore::shared().get(SubSystem::bookmarks, Flag::save)); // not initialised again
    }

    void loadedDatabasesCompleteStartupAndMonitoringWaitsForIt() {
        LogRecorder log;
        Engine::start({.persistence = true, .databases = true});
        QVERIFY(FlagStore::shared().get(SubSystem::database, Flag::ready));
        QVERIFY(FlagStore::shared().get(SubSystem::bookmarks, Flag::ready));
        QVERIFY(!FlagStore::shared().startup());
        QTRY_VERIFY(log.has(QStringLiteral(
            "INFO: Cleanup of persistent database content completed [ Cleanup.databases() ]")));
        QVERIFY(EnginePool::waitForDone(10000));
        // Monitoring was not asked for: nothing registered it (with debugging on, the
        // registration logs even when no folder is monitored).
        QCOMPARE(log.countContaining(QStringLiteral("[ FolderNotifications.register() ]")), 0);

        // Wired after start-up completed, monitoring starts at once.
        Engine::start({.monitoring = true});
        QTRY_COMPARE(log.countContaining(QStringLiteral("[ FolderNotifications.register() ]")), 1);
        QVERIFY(EnginePool::waitForDone(10000));
        Debugging::setFlagForTesting(false);
    }

    // FlagStore::save() writes each store to its file and clears the flags the store's
    // changes set (the order of the saves: tst_FlagStore).
    void saveWritesTheRealStores() {
        const Location folder(QDir::homePath() + "/photos");
        QDir().mkpath(folder.path());
        const Location file = folder.child(QStringLiteral("one.jpg"));
        QVERIFY(test::writeFile(file.path(), "jpeg"));
        Database::shared().set(file, test::makeRecord(file.path(), 4));
        Database::shared().markDatabaseModified();
        BookmarkDatabase::shared().store(file, SecurityBookmark::create(file));
        CoreDatabase::addFolder(folder, false);
        QVERIFY(EnginePool::waitForDone(5000));
        FlagStore& flags = FlagStore::shared();
        QVERIFY(flags.get(SubSystem::database, Flag::save) && flags.get(SubSystem::bookmarks, Flag::save));
        QFile::remove(Database::defaultFile()); // written by the start-up clean-up
        QFile::remove(BookmarkDatabase::defaultFile());

        flags.save();
        QVERIFY(!flags.get(SubSystem::database, Flag::save) && !flags.get(SubSystem::bookmarks, Flag::save));
        QVERIFY(QFile::exists(Database::defaultFile()) && QFile::exists(BookmarkDatabase::defaultFile()));
        QVERIFY(CoreDatabase::contains(folder, *std::make_unique<CoreDataStack>()));
    }
};

TREVALIN_TEST_MAIN(TestEngine)
#include "tst_Engine.moc"
