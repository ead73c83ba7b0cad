// The preferences window: the algorithm switches against a selection changed behind the
// program's back, the sound switch turning the player over once per change, the full
// path switches, and the two ways of clearing data — what each leaves, what a missing
// or unremovable file does, a cancelled confirmation, and nothing written back by the
// shutdown that follows "Clear and Quit".
#include "app/AppTestSupport.h"

#include "app/AudioActor.h"
#include "app/StartupCommandsBuilder.h"
#include "app/TrevalinApp.h"
#include "engine/EnginePool.h"
#include "engine/FlagStore.h"
#include "engine/FolderNotifications.h"
#include "engine/Timing.h"
#include "logging/FileDestination.h"
#include "logging/Log.h"
#include "model/FileObject.h"
#include "store/AppSettings.h"
#include "store/BookmarkDatabase.h"
#include "store/CoreDataStack.h"
#include "store/CoreDatabase.h"
#include "store/Database.h"
#include "store/Debugging.h"
#include "store/StoreHooks.h"
#include "ui/AdvancedPreferencesView.h"
#include "ui/AlgorithmSwitches.h"
#include "ui/CryptoPreferencesView.h"
#include "ui/GeneralPreferencesView.h"
#include "ui/MainWindow.h"
#include "ui/PreferencesWindow.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

using namespace trevalin;

namespace {

const QString kUnable =
    "Unable to delete local application data from container [ AdvancedPreferencesView.body ]";

// Waits for the pool tasks and the store's background saves they start.
bool settle() {
    return EnginePool::waitForDone(5000) && StoreHooks::waitForBackground(5000) &&
           EnginePool::waitForDone(5000);
}

QStringList enabledNames(const QList<Digests>& list) {
    QStringList out;
    for (const Digests& entry : list)
        if (entry.enabled)
            out.append(entry.name);
    return out;
}

QStringList storedSelection() {
    const std::optional<QList<Digests>> stored = DigestState::decode(AppSettings::shared().algorithmsData());
    return stored ? enabledNames(*stored) : QStringList{"undecodable"};
}

QStringList storedKeys() {
    QStringList keys = QSettings(AppSettings::standardFilePath(), QSettings::IniFormat).allKeys();
    keys.sort();
    return keys;
}

// The program's data in a folder of its own: both databases with a record and a bookmark,
// a stored and watched folder, a log file being written, and settings.
struct World {
    QTemporaryDir dir;
    std::unique_ptr<Database> content;
    std::unique_ptr<BookmarkDatabase> bookmarks;
    std::unique_ptr<CoreDataStack> folders;
    std::shared_ptr<FileDestination> log;
    Location folder;

    explicit World(const QString& contentFile = {}) {
        const QString root = dir.path();
        folder = Location(root + "/watched");
        QDir().mkpath(folder.path());
        QFile tracked(folder.path() + "/a.txt");
        tracked.open(QIODevice::WriteOnly);
        tracked.write("content");
        tracked.close();
        const Location file(tracked.fileName());

        content = std::make_unique<Database>(contentFile.isEmpty() ? root + "/content.plist" : contentFile);
        content->set(file, FileObject::create(file, false));
        try {
            content->save();
        } catch (const std::exception&) {
            // A database whose file cannot be written keeps its record in memory only.
        }
        bookmarks = std::make_unique<BookmarkDatabase>(root + "/bookmarks.plist");
        bookmarks->store(file);
        folders = std::make_unique<CoreDataStack>(root + "/store.sqlite");
        CoreDatabase::addFolder(folder, false, *folders);
        CoreDatabase::save(folders.get());
        FolderNotifications::shared().monitor(folder);

        log = std::make_shared<FileDestination>(logFile());
        log->setAsynchronously(false);
        Logger::addDestination(log);
        TLOG_INFO(QStringLiteral("A line in the log file"));

        AppSettings& settings = AppSettings::shared();
        settings.setSplashScreen(false);
        settings.setAppUUID("6D0B8C9E-0000-4000-8000-000000000001");
        settings.setFullFilePaths(true);
        settings.setAutoLaunch(true);
    }
    ~World() { Logger::removeDestination(log); }

    QString logFile() const { return dir.path() + "/app.log"; }
    QStringList storeFiles() const { return QDir(dir.path()).entryList({"store.sqlite*"}, QDir::Files); }
    DataReset::Targets targets() const { return {content.get(), bookmarks.get(), folders.get(), logFile()}; }
};

// The number of records / bookmarks / folders a fresh reader finds in the files.
int recordsIn(const QString& file) {
    Database reader(file);
    reader.load(false);
    return int(reader.count());
}
int bookmarksIn(const QString& file) {
    BookmarkDatabase reader(file);
    reader.load(false);
    return reader.count();
}
int foldersIn(const QString& storePath) {
    CoreDataStack reader(storePath);
    reader.setReadOnly(true);
    return int(reader.folders().size());
}

} // namespace

class tst_PreferencesWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        AudioActor::shared()->setOutputCheckForTesting([] { return false; });
    }

    // Every algorithm switched off leaves SHA1, saved; a selection stored meanwhile by
    // another writer shows when the window is shown again, in the model and the boxes.
    void algorithmsFollowTheStore() {
        DigestState::shared().setAlgorithms(DigestState::defaultList());
        AppSettings::saveAlgorithmStatus(DigestState::defaultList());
        PreferencesWindow window;
        window.show();
        QVERIFY(settle());
        AlgorithmSwitches& switches = window.crypto().algorithms();
        for (Digest digest : kAllDigests)
            if (switches.box(digest)->isChecked())
                switches.box(digest)->click();
        for (Digest digest : kAllDigests)
            QCOMPARE(switches.box(digest)->isChecked(), digest == Digest::SHA1);
        QVERIFY(settle());
        QCOMPARE(storedSelection(), QStringList{"SHA1"});

        window.hide();
        QList<Digests> other = DigestState::defaultList();
        for (Digests& entry : other)
            entry.enabled = entry.digest == Digest::MD5 || entry.digest == Digest::SHA512;
        {
            QSettings behind(AppSettings::standardFilePath(), QSettings::IniFormat);
            behind.setValue("algorithmsData", DigestState::encode(other));
        }
        window.show();
        QVERIFY(settle());
        QTRY_COMPARE(enabledNames(DigestState::shared().algorithms()), enabledNames(other));
        QTRY_VERIFY(switches.box(Digest::MD5)->isChecked() && switches.box(Digest::SHA512)->isChecked() &&
                    !switches.box(Digest::SHA1)->isChecked());
        QCOMPARE(storedSelection(), enabledNames(other));
    }

    // Each change of the sound switch writes the setting and turns the player's own flag
    // over once: off and on again leaves it as it was.
    void soundSwitch_data() {
        QTest::addColumn<bool>("enabled");
        QTest::addRow("on, off, on") << true;
        QTest::addRow("off, on, off") << false;
    }
    void soundSwitch() {
        QFETCH(bool, enabled);
        AppSettings::shared().setAudioEnabled(enabled);
        AudioActor& player = *AudioActor::shared();
        const bool before = player.active();
        GeneralPreferencesView view;
        QCheckBox* sounds = view.sounds();
        QCOMPARE(sounds->isChecked(), enabled);

        sounds->click();
        QVERIFY(settle());
        QCOMPARE(AppSettings::shared().audioEnabled(), !enabled);
        QCOMPARE(player.active(), !before);
        sounds->click();
        QVERIFY(settle());
        QCOMPARE(AppSettings::shared().audioEnabled(), enabled);
        QCOMPARE(player.active(), before);
    }

    // A full-path switch writes its own setting only, and tells the lists each time.
    void fullPaths_data() {
        QTest::addColumn<bool>("files");
        QTest::addRow("Files") << true;
        QTest::addRow("Folders") << false;
    }
    void fullPaths() {
        QFETCH(bool, files);
        AppSettings& settings = AppSettings::shared();
        settings.setFullFilePaths(false);
        settings.setFullFolderPaths(false);
        PreferencesWindow window;
        QSignalSpy changed(&window, &PreferencesWindow::displayPathsChanged);
        QCheckBox* box = files ? window.general().fullFilePaths() : window.general().fullFolderPaths();
        QCOMPARE(box->text(), files ? QString("Files") : QString("Folders"));

        box->click();
        QCOMPARE(settings.fullFilePaths(), files);
        QCOMPARE(settings.fullFolderPaths(), !files);
        QCOMPARE(changed.count(), 1);
        box->click();
        QVERIFY(!settings.fullFilePaths() && !settings.fullFolderPaths());
        QCOMPARE(changed.count(), 2);
    }

    // Purge / Reset: no records, bookmarks, folders or watches, in memory and in the
    // files (which still read as empty databases); settings and the log file stay.
    void purge() {
        World world;
        const QStringList keys = storedKeys();
        PreferencesWindow window;
        window.advanced().setTargetsForTesting(world.targets());
        window.advanced().setConfirmationForTesting(
            [](const QString& action) { return action == "Purge / Reset"; });
        window.advanced().purgeButton()->click();
        QVERIFY(settle());
        QTRY_VERIFY(FolderNotifications::shared().locations().isEmpty());
        QVERIFY(settle());

        QCOMPARE(world.content->count(), std::size_t(0));
        QCOMPARE(world.bookmarks->count(), 0);
        QVERIFY(world.folders->folders().isEmpty());
        QCOMPARE(recordsIn(world.content->file()), 0);
        QCOMPARE(bookmarksIn(world.bookmarks->file()), 0);
        QCOMPARE(foldersIn(world.folders->storePath()), 0);
        QCOMPARE(storedKeys(), keys);
        QVERIFY(AppSettings::shared().autoLaunch());
        QVERIFY(QFile::exists(world.logFile()));
    }

    // Clear and Quit removes the databases' files, the folder store, the settings (the
    // login setting stays) and the log file, then quits; a file already gone is no
    // failure. A file that cannot be removed stops the removals there, is logged, and
    // the program quits all the same. Nothing removed is written again by the saves and
    // the log flush of the shutdown.
    void clearAndQuit_data() {
        QTest::addColumn<QString>("gone"); // the database file removed beforehand
        QTest::addColumn<bool>("contentStuck");
        QTest::addRow("everything there") << QString() << false;
        QTest::addRow("content database file already gone") << QString("content") << false;
        QTest::addRow("bookmark database file already gone") << QString("bookmarks") << false;
        QTest::addRow("content database file cannot be removed") << QString() << true;
    }
    void clearAndQuit() {
        QFETCH(QString, gone);
        QFETCH(bool, contentStuck);
        QTemporaryDir scratch;
        const QString plain = scratch.path() + "/plain";
        QFile(plain).open(QIODevice::WriteOnly); // a regular file: nothing can be removed below it
        World world(contentStuck ? plain + "/content.plist" : QString());
        if (!gone.isEmpty())
            QVERIFY(QFile::remove(gone == "content" ? world.content->file() : world.bookmarks->file()));
        QVERIFY(QFile::exists(world.logFile()));
        QVERIFY(!world.storeFiles().isEmpty());
        const QStringList keys = storedKeys();
        Debugging::setFlagForTesting(true);
        test::LogRecorder log;

        int quits = 0;
        PreferencesWindow window([&quits] { ++quits; });
        window.advanced().setTargetsForTesting(world.targets());
        window.advanced().setConfirmationForTesting(
            [](const QString& action) { return action == "Clear and Quit"; });
        window.advanced().clearButton()->click();
        QVERIFY(settle());
        QTRY_COMPARE(quits, 1);
        Debugging::setFlagForTesting(false);

        const QStringList errors = log.messages(Level::Error);
        if (contentStuck) {
            QVERIFY(errors.contains(kUnable));
            QVERIFY(errors.contains("Error provided was: Not a directory: " + world.content->file() +
                                    " [ AdvancedPreferencesView.body ]"));
            // Nothing after the failed removal happened.
            QVERIFY(QFile::exists(world.bookmarks->file()));
            QCOMPARE(foldersIn(world.folders->storePath()), 1);
            QCOMPARE(storedKeys(), keys);
            QVERIFY(QFile::exists(world.logFile()));
            QVERIFY(!world.storeFiles().isEmpty());
            return;
        }
        QVERIFY2(!errors.contains(kUnable), qPrintable(errors.join('\n')));
        QVERIFY(!QFile::exists(world.content->file()));
        QVERIFY(!QFile::exists(world.bookmarks->file()));
        QVERIFY(!QFile::exists(world.logFile()));
        QCOMPARE(world.storeFiles(), QStringList());
        QCOMPARE(storedKeys(), QStringList{"algorithmsData"}); // the default selection, saved anew
        QVERIFY(AppSettings::shared().autoLaunch());

        // The shutdown: both databases flagged modified are saved, the log is written and flushed.
        StoreHooks::setFlag(StoreHooks::SubSystem::database, StoreHooks::Flag::save, true);
        StoreHooks::setFlag(StoreHooks::SubSystem::bookmarks, StoreHooks::Flag::save, true);
        world.content->save();
        world.bookmarks->save();
        CoreDatabase::save(world.folders.get());
        TLOG_INFO(QStringLiteral("A line after the log file was removed"));
        QVERIFY(Logger::flush(2.0));
        QVERIFY(!QFile::exists(world.content->file()));
        QVERIFY(!QFile::exists(world.bookmarks->file()));
        QVERIFY(!QFile::exists(world.logFile()));
        QCOMPARE(world.storeFiles(), QStringList());
    }

    // Cancelled in the box (window-modal, Cancel its default), neither operation starts.
    void cancelled_data() {
        QTest::addColumn<bool>("clear");
        QTest::addRow("Purge / Reset") << false;
        QTest::addRow("Clear and Quit") << true;
    }
    void cancelled() {
        QFETCH(bool, clear);
        World world;
        const QStringList keys = storedKeys();
        int quits = 0;
        PreferencesWindow window([&quits] { ++quits; });
        window.advanced().setTargetsForTesting(world.targets());
        window.show();
        (clear ? window.advanced().clearButton() : window.advanced().purgeButton())->click();
        QMessageBox* box = window.findChild<QMessageBox*>();
        QVERIFY(box && box->isVisible());
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::Cancel));
        box->button(QMessageBox::Cancel)->click();
        QVERIFY(settle());
        QTest::qWait(50); // a quit would be queued

        QCOMPARE(quits, 0);
        QCOMPARE(world.content->count(), std::size_t(1));
        QCOMPARE(recordsIn(world.content->file()), 1);
        QCOMPARE(bookmarksIn(world.bookmarks->file()), 1);
        QCOMPARE(foldersIn(world.folders->storePath()), 1);
        QCOMPARE(FolderNotifications::shared().locations(), QList<Location>{world.folder});
        QCOMPARE(storedKeys(), keys);
        QVERIFY(QFile::exists(world.logFile()));
        FolderNotifications::shared().cease();
    }

    // Through the program itself: Clear and Quit from its preferences (opened by Ctrl+,
    // in the main window), then its shutdown, leave no data file, no log file and no
    // settings, so the next start is a first start — the splash screen and a new
    // instance UUID. Runs last: it removes the shared folder store.
    void clearAndQuitThroughTheProgram() {
        using namespace std::chrono_literals;
        Timing::setForTesting(20ms, 20ms, 20ms);
        AppSettings::shared().setSplashScreen(false);
        auto app = std::make_unique<TrevalinApp>(false);
        QTRY_VERIFY_WITH_TIMEOUT(!FlagStore::shared().startup(), 10000);
        const QString uuid = AppSettings::shared().appUUID();
        QVERIFY(!uuid.isEmpty());
        const QString logFile = Log::logFilePath();
        QTRY_VERIFY(QFile::exists(logFile));
        QVERIFY(QFile::exists(Database::defaultFile()));
        CoreDatabase::addFolder(Location(QDir::homePath()), false);
        CoreDatabase::save();
        QVERIFY(QFile::exists(CoreDataStack::defaultStorePath()));

        // Ctrl+, in the main window opens the preferences.
        app->mainWindow().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&app->mainWindow()));
        QTest::keyClick(&app->mainWindow(), Qt::Key_Comma, Qt::ControlModifier);
        PreferencesWindow* window = app->preferences();
        QVERIFY(window && window->isVisible());
        window->advanced().setConfirmationForTesting([](const QString&) { return true; });
        window->advanced().clearButton()->click();
        QVERIFY(settle());
        QTest::qWait(50);
        // Whatever is still flagged modified is saved by the shutdown.
        FlagStore::shared().set(SubSystem::database, Flag::save, true);
        FlagStore::shared().set(SubSystem::bookmarks, Flag::save, true);
        app->shutdown();

        for (const QString& file : {Database::defaultFile(), BookmarkDatabase::defaultFile(),
                                    CoreDataStack::defaultStorePath(), logFile})
            QVERIFY2(!QFile::exists(file), qPrintable(file));
        QCOMPARE(storedKeys(), QStringList{"algorithmsData"});
        app.reset();

        TrevalinApp next(false);
        QCOMPARE(next.mainWindow().view().body(), MainView::Body::Splash);
        startup::Logging().execute();
        QVERIFY(!AppSettings::shared().appUUID().isEmpty());
        QVERIFY(AppSettings::shared().appUUID() != uuid);
        EnginePool::waitForDone(5000);
        Timing::resetForTesting();
    }
};

TREVALIN_GUI_TEST_MAIN(tst_PreferencesWindow)
#include "tst_PreferencesWindow.moc"
