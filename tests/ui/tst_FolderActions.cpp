// The folder list's context menu and its actions over the real engine: the items each
// state offers, and switching monitoring off and on and removing a folder with real
// watches, the real folder store file and the content database.
#include "app/AppTestSupport.h"

#include "engine/EngineTestSupport.h"
#include "engine/FileSystemNotifier.h"
#include "engine/FlagStore.h"
#include "engine/FolderNotifications.h"
#include "engine/Global.h"
#include "engine/Timing.h"
#include "store/CoreDataStack.h"
#include "store/CoreDatabase.h"
#include "ui/FolderActions.h"
#include "ui/FolderMenu.h"
#include "ui/TintedMenu.h"

#include <QAction>
#include <QScopeGuard>

#include <chrono>
#include <memory>
#include <mutex>

using namespace trevalin;
using namespace trevalin::test;
using namespace std::chrono_literals;

namespace {

const QString kDisable = "Disable folder content monitoring";
const QString kEnable = "Enable folder content monitoring";
const QString kRemove = "Remove folder and associated files";

QString stoppedLine(const Location& dir) {
    return "Folder monitoring stopped for path: " + dir.path() + " [ FolderNotifications.remove(_:) ]";
}

// The folder as the store file holds it, read by a stack of its own. A save may hold
// the file locked for a moment: the reader tries again until the file opens.
std::optional<Folder> saved(const QString& path) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        CoreDataStack fresh(CoreDataStack::shared().storePath());
        fresh.setReadOnly(true);
        if (fresh.hasStore())
            return fresh.folder(path);
        QTest::qSleep(2);
    }
    qFatal("the folder store does not open");
}

bool hasWatcher(const Location& dir) {
    return FolderNotifications::shared().notifier(dir) != nullptr;
}

bool watching(const Location& dir) {
    const auto notifier = FolderNotifications::shared().notifier(dir);
    return notifier && notifier->state() == FileSystemNotifier::State::Watching;
}

// Picks the item named `name` of the folder's menu, built while the application is idle.
bool pick(const Folder& folder, const char* name) {
    const std::unique_ptr<TintedMenu> menu(makeFolderMenu(folder, ApplicationState::Idle, nullptr));
    auto* action = menu->findChild<QAction*>(QLatin1String(name));
    if (!action)
        return false;
    action->trigger();
    return true;
}

} // namespace

class tst_FolderActions : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    // A folder added the way the user adds one, with `files` hashed files; monitored
    // (flag saved, watch in place) when asked.
    Folder tracked(const QString& name, int files, bool monitored) {
        const Location dir = makeFolder(*m_dir, name);
        for (int i = 0; i < files; ++i)
            writeFile(dir, QStringLiteral("f%1.txt").arg(i), "content " + QByteArray::number(i));
        addAndSettle({dir});
        if (monitored) {
            CoreDatabase::setMonitored(dir, true);
            CoreDatabase::save();
            FolderNotifications::shared().monitor(dir);
            if (!QTest::qWaitFor([&] { return watching(dir); }, 10000))
                qFatal("no watch for %s", qPrintable(dir.path()));
        }
        return CoreDataStack::shared().folder(dir.path()).value_or(Folder());
    }

private slots:
    void initTestCase() {
        setUpEngine();
        Timing::setForTesting(100ms, 1ms, 50ms);
        // Every scheduled save (after a processing run, an orphan scan, records purged)
        // also flushes the folder store; without that flush only the actions' own saves
        // write it, so a test sees what an action saved.
        FlagStore::shared().setFolderStoreFlush({});
    }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        Global::shared().setStatusForTesting(ApplicationState::Idle);
    }

    void cleanup() {
        Timing::setSettleHookForTesting({});
        FolderNotifications::shared().cease();
        QVERIFY(EnginePool::waitForDone(20000));
        m_dir.reset();
    }

    void menuItems_data() {
        QTest::addColumn<bool>("monitored");
        QTest::addColumn<ApplicationState>("state");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<QColor>>("tints");
        for (bool monitored : {true, false}) {
            const QString first = monitored ? kDisable : kEnable;
            const QColor tint = monitored ? tints::yellow() : tints::green();
            for (ApplicationState state : {ApplicationState::Idle, ApplicationState::Processing,
                                           ApplicationState::Evaluating, ApplicationState::SplashScreen}) {
                const bool idle = state == ApplicationState::Idle;
                QTest::addRow("%s, %s", monitored ? "monitored" : "not monitored",
                              qPrintable(toString(state)))
                    << monitored << state << (idle ? QStringList{first, kRemove} : QStringList{first})
                    << (idle ? QList<QColor>{tint, tints::red()} : QList<QColor>{tint});
            }
        }
    }
    // The monitoring switch always, the removal only while idle; each item in its colour
    // with its picture and the name the list finds it by.
    void menuItems() {
        QFETCH(bool, monitored);
        QFETCH(ApplicationState, state);
        QFETCH(QStringList, titles);
        QFETCH(QList<QColor>, tints);
        Folder folder;
        folder.path = m_dir->path();
        folder.location = Location(folder.path);
        folder.monitored = monitored;
        QWidget parent;
        const std::unique_ptr<TintedMenu> menu(makeFolderMenu(folder, state, &parent));
        QCOMPARE(menu->parentWidget(), &parent);
        QStringList shown;
        QList<QColor> colours;
        for (QAction* action : menu->actions()) {
            shown << action->text();
            colours << TintedMenu::tint(action);
            QVERIFY(!action->icon().isNull());
            const char* name = action->text() == kRemove ? folderMenu::kRemove
                               : monitored               ? folderMenu::kDisableMonitoring
                                                         : folderMenu::kEnableMonitoring;
            QCOMPARE(action->objectName(), QLatin1String(name));
        }
        QCOMPARE(shown, titles);
        QCOMPARE(colours, tints);
    }

    void disableMonitoring_data() {
        QTest::addColumn<bool>("fromMenu");
        QTest::addColumn<QString>("saveLine");
        QTest::addRow("menu item") << true << "Saved core database [ CoreDatabase.asyncSave() ]";
        QTest::addRow("eye icon") << false << "Saved core database [ CoreDatabase.save() ]";
    }
    // The watch stops before the cleared flag is saved; the store file holds it by the
    // time the eye's future finishes.
    void disableMonitoring() {
        QFETCH(bool, fromMenu);
        QFETCH(QString, saveLine);
        const Folder folder = tracked("watched", 1, true);
        LogRecorder log;
        if (fromMenu) {
            QVERIFY(pick(folder, folderMenu::kDisableMonitoring));
            QTRY_VERIFY(log.messages().contains(saveLine));
        } else {
            QFuture<void> done = FolderActions::disableMonitoring(folder, FolderActions::Save::Sync);
            QVERIFY(QTest::qWaitFor([&] { return done.isFinished(); }, 10000));
        }
        QCOMPARE(saved(folder.path).value_or(Folder()).monitored, false);
        QVERIFY(!hasWatcher(folder.location));
        QVERIFY(!CoreDataStack::shared().folder(folder.path)->monitored);
        const QStringList lines = log.messages();
        const qsizetype stopped = lines.indexOf(stoppedLine(folder.location));
        QVERIFY2(stopped >= 0 && stopped < lines.indexOf(saveLine), qPrintable(lines.join(u'\n')));
    }

    void enablingCatchesUpBeforeWatching_data() {
        QTest::addColumn<bool>("fromMenu");
        QTest::addRow("menu item") << true;
        QTest::addRow("awaited") << false;
    }
    // Changes made while the folder was not watched (a file added, one deleted) are in
    // the database, hashed, before the watch starts; the flag is in the store file by
    // the time the future finishes.
    void enablingCatchesUpBeforeWatching() {
        QFETCH(bool, fromMenu);
        const Folder folder = tracked("quiet", 2, false);
        const Location dir = folder.location;
        const Location gone = dir.child("f0.txt"), kept = dir.child("f1.txt");
        QVERIFY(QFile::remove(gone.path()));
        const Location added = writeFile(dir, "added.txt", "added while not watched");

        // What the database held and whether a watch existed at every settle wait and
        // every change of state while the folder was brought up to date.
        struct Moment {
            bool watcher, addedProcessed, goneRecorded;
        };
        auto moments = std::make_shared<std::pair<std::mutex, QList<Moment>>>();
        const auto note = [moments, dir, added, gone] {
            const Moment moment{hasWatcher(dir), processed(added), bool(Database::shared().record(gone))};
            std::lock_guard lock(moments->first);
            moments->second.append(moment);
        };
        Timing::setSettleHookForTesting(note);
        const QMetaObject::Connection connection =
            QObject::connect(&Global::shared(), &Global::statusChanged, note);
        const auto unhook = qScopeGuard([&] {
            Timing::setSettleHookForTesting({});
            QObject::disconnect(connection);
        });

        if (fromMenu) {
            QVERIFY(pick(folder, folderMenu::kEnableMonitoring));
            QTRY_VERIFY_WITH_TIMEOUT(saved(folder.path).value_or(Folder()).monitored, 10000);
        } else {
            QFuture<void> done = FolderActions::enableMonitoring(folder);
            QVERIFY(QTest::qWaitFor([&] { return done.isFinished(); }, 10000));
            QVERIFY(saved(folder.path).value_or(Folder()).monitored);
            QVERIFY(hasWatcher(dir));
        }
        QVERIFY(EnginePool::waitForDone(20000));
        QVERIFY(watching(dir));
        QVERIFY(processed(added) && processed(kept) && !Database::shared().record(gone));

        std::lock_guard lock(moments->first);
        const QList<Moment>& seen = moments->second;
        QVERIFY(seen.size() >= 2); // the pass's settle wait, and at least the run's end
        for (const Moment& moment : seen) {
            QVERIFY(!moment.watcher);
            QVERIFY(!moment.goneRecorded);
        }
        QVERIFY(seen.last().addedProcessed);
    }

    void remove_data() {
        QTest::addColumn<bool>("monitored");
        QTest::addColumn<int>("files");
        QTest::addRow("monitored, two files") << true << 2;
        QTest::addRow("not monitored, empty") << false << 0;
    }
    // The folder leaves the store file and its files' records go, other folders' stay;
    // a monitored folder's watch stops before the store is saved.
    void remove() {
        QFETCH(bool, monitored);
        QFETCH(int, files);
        const Folder other = tracked("other", 1, false);
        const Folder folder = tracked("doomed", files, monitored);
        QCOMPARE(Database::shared().files(folder.location).size(), files);
        LogRecorder log;
        QVERIFY(pick(folder, folderMenu::kRemove));
        QTRY_VERIFY_WITH_TIMEOUT(!saved(folder.path), 10000);
        QVERIFY(EnginePool::waitForDone(20000));
        QVERIFY(!CoreDataStack::shared().folder(folder.path));
        QVERIFY(Database::shared().files(folder.location).isEmpty());
        QCOMPARE(Database::shared().files(other.location).size(), 1);
        QVERIFY(saved(other.path));
        QVERIFY(!hasWatcher(folder.location));
        const QStringList lines = log.messages();
        const qsizetype stopped = lines.indexOf(stoppedLine(folder.location));
        const qsizetype save = lines.indexOf("Saved core database [ CoreDatabase.save() ]");
        QVERIFY2(save >= 0, qPrintable(lines.join(u'\n')));
        if (monitored)
            QVERIFY2(stopped >= 0 && stopped < save, qPrintable(lines.join(u'\n')));
        else
            QCOMPARE(stopped, -1);
    }
};

TREVALIN_GUI_TEST_MAIN(tst_FolderActions)
#include "tst_FolderActions.moc"
