// A file row's context menu and its actions over the real engine and content database:
// which records have a menu and when removal is offered, copying a checksum with the
// mouse and the keyboard, rescanning a changed and an unreadable file, and a removal
// reaching the saved database file.
#include "app/AppTestSupport.h"

#include "engine/Global.h"
#include "engine/Progress.h"
#include "engine/Timing.h"
#include "store/CoreDataStack.h"
#include "store/LocationState.h"
#include "ui/ChecksumMenuItem.h"
#include "ui/FileActions.h"
#include "ui/FileListModel.h"
#include "ui/FileMenu.h"
#include "ui/TintedMenu.h"

#include "engine/EngineTestSupport.h"

#include <QClipboard>
#include <QCursor>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QSignalSpy>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using namespace trevalin;
using namespace trevalin::test;

namespace {

const QString kMd5 = QStringLiteral("0123456789abcdef0123456789abcdef");
const QString kSha512 = QString(QStringLiteral("0123456789abcdef")).repeated(8);

// A record under `directory` as the database holds one, without a file behind it.
FileObjectPtr record(const QString& directory, FileState status) {
    FileObjectData data;
    data.identifier = QUuid::createUuid();
    data.directory = directory;
    data.name = QStringLiteral("f.txt");
    data.path = directory.isEmpty() ? data.name : directory + QStringLiteral("/f.txt");
    data.location = Location(data.path);
    data.status = status;
    data.checksums = {Checksum::make(Digest::MD5, kMd5), Checksum::make(Digest::SHA512, kSha512)};
    return FileObject::fromData(data);
}

QStringList texts(const QMenu& menu) {
    QStringList out;
    for (const QAction* action : menu.actions())
        out << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return out;
}

QAction* actionNamed(const QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

// Whether `view` shows the menu's highlight (sampled between its left edge and its text).
bool highlighted(QWidget* view, const QColor& highlight) {
    const QImage image = view->grab().toImage();
    return image.pixelColor(image.width() - 2, image.height() / 2) == highlight;
}

} // namespace

class tst_FileActions : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase() {
        Timing::setForTesting(std::chrono::milliseconds(20), std::chrono::milliseconds(0),
                              std::chrono::milliseconds(10));
        setUpEngine();
        Database::shared().setChangeInterval(std::chrono::milliseconds(1));
        CoreDataStack& folders = CoreDataStack::shared();
        for (const auto& [name, monitored] :
             {std::pair{"monitored", true}, std::pair{"unmonitored", false}}) {
            const QString path = m_dir.filePath(QLatin1String(name));
            QVERIFY(folders.insertIfAbsent(
                {QUuid::createUuid(), Location(path), QLatin1String(name), path, 0, 0, monitored}));
        }
    }

    void menuAndRemoveItem_data() {
        QTest::addColumn<FileState>("status");
        QTest::addColumn<ApplicationState>("state");
        QTest::addColumn<QString>("folder"); // the record's directory under the test folder; "-": none
        QTest::addColumn<bool>("menu");
        QTest::addColumn<bool>("remove");
        const auto idle = ApplicationState::Idle;
        QTest::addRow("pending") << FileState::Pending << idle << "" << false << true;
        QTest::addRow("changing") << FileState::Changing << idle << "" << false << true;
        QTest::addRow("incomplete") << FileState::Incomplete << idle << "" << false << true;
        QTest::addRow("processed, added alone") << FileState::Processed << idle << "" << true << true;
        QTest::addRow("zombie, added alone") << FileState::Zombie << idle << "" << true << true;
        QTest::addRow("no directory") << FileState::Processed << idle << "-" << true << true;
        QTest::addRow("in a monitored folder")
            << FileState::Processed << idle << "monitored" << true << false;
        QTest::addRow("in an unmonitored folder")
            << FileState::Processed << idle << "unmonitored" << true << true;
        QTest::addRow("below a monitored folder")
            << FileState::Processed << idle << "monitored/sub" << true << true;
        QTest::addRow("processing") << FileState::Processed << ApplicationState::Processing << "" << true
                                    << false;
        QTest::addRow("evaluating") << FileState::Zombie << ApplicationState::Evaluating << "" << true
                                    << false;
    }
    void menuAndRemoveItem() {
        QFETCH(FileState, status);
        QFETCH(ApplicationState, state);
        QFETCH(QString, folder);
        QFETCH(bool, menu);
        QFETCH(bool, remove);
        const QString directory =
            folder == u"-"
                ? QString()
                : QDir::cleanPath(m_dir.filePath(folder.isEmpty() ? QStringLiteral("alone") : folder));
        const FileObjectPtr file = record(directory, status);
        QCOMPARE(FileActions::canRemove(*file, state, CoreDataStack::shared()), remove);
        std::unique_ptr<TintedMenu> made(makeFileMenu(file, state, nullptr));
        QCOMPARE(made != nullptr, menu);
        if (!made)
            return;
        QStringList expected{QStringLiteral("MD5 ") + kMd5, QStringLiteral("SHA512 ") + kSha512,
                             QStringLiteral("-"), QStringLiteral("Rescan/checksum file")};
        if (remove)
            expected << QStringLiteral("Remove file from database");
        QCOMPARE(texts(*made), expected);
        QCOMPARE(TintedMenu::tint(made->actions().at(3)), tints::yellow());
        // The menu is wide enough for the whole SHA512 value in the fixed-width font.
        const int valueWidth =
            QFontMetrics(QFontDatabase::systemFont(QFontDatabase::FixedFont)).horizontalAdvance(kSha512);
        QVERIFY(made->sizeHint().width() > valueWidth);
    }

    void checksumCopiesValue_data() {
        QTest::addColumn<int>("entry");
        QTest::addColumn<bool>("keyboard");
        QTest::addRow("click MD5") << 0 << false;
        QTest::addRow("click SHA512") << 1 << false;
        QTest::addRow("keys to MD5") << 0 << true;
        QTest::addRow("keys to SHA512") << 1 << true;
    }
    void checksumCopiesValue() {
        QFETCH(int, entry);
        QFETCH(bool, keyboard);
        const FileObjectPtr file = record(m_dir.filePath(QStringLiteral("alone")), FileState::Processed);
        std::unique_ptr<TintedMenu> menu(makeFileMenu(file, ApplicationState::Idle, nullptr));
        QVERIFY(menu);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QCursor::setPos(QPoint(700, 550)); // off the menu: no item starts active
        menu->popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitForWindowExposed(menu.get()));
        auto* item = qobject_cast<ChecksumMenuItem*>(menu->actions().at(entry));
        QVERIFY(item);
        QWidget* view = item->defaultWidget();
        const QColor highlight = menu->palette().color(QPalette::Highlight);
        QVERIFY(!highlighted(view, highlight));
        QSignalSpy chosen(item, &QAction::triggered);
        if (keyboard) {
            for (int i = 0; i <= entry; ++i)
                QTest::keyClick(menu->windowHandle(), Qt::Key_Down);
            QCOMPARE(menu->activeAction(), item);
            QTRY_VERIFY(highlighted(view, highlight));
            QTest::keyClick(menu->windowHandle(), Qt::Key_Return);
        } else {
            QTest::mouseMove(view);
            QTRY_COMPARE(menu->activeAction(), item);
            QTRY_VERIFY(highlighted(view, highlight));
            QTest::mouseClick(view, Qt::LeftButton);
        }
        QCOMPARE(QGuiApplication::clipboard()->text(), file->checksums().at(entry).value);
        QCOMPARE(chosen.count(), 1);
        QTRY_VERIFY(!menu->isVisible());
    }

    void rescan_data() {
        QTest::addColumn<QString>("change"); // "content", "mode 000" or "vanished"
        QTest::addColumn<bool>("fromMenu");  // through the menu's item, else rescanFile()
        QTest::addRow("content changed") << "content" << false;
        QTest::addRow("content changed, from the menu") << "content" << true;
        QTest::addRow("unreadable") << "mode 000" << false;
        QTest::addRow("vanished, from the menu") << "vanished" << true;
    }
    void rescan() {
        QFETCH(QString, change);
        QFETCH(bool, fromMenu);
        if (change == u"mode 000" && ::geteuid() == 0)
            QSKIP("root reads any file");
        const Location folder =
            makeFolder(m_dir, QString::number(qHash(QLatin1String(QTest::currentDataTag()))));
        const Location location = writeFile(folder, QStringLiteral("f.bin"), "first");
        addAndSettle({location});
        QVERIFY(processed(location));
        const FileObjectData before = Database::shared().record(location)->snapshot();
        std::unique_ptr<TintedMenu> menu(
            makeFileMenu(Database::shared().record(location), ApplicationState::Idle, nullptr));
        QAction* item = actionNamed(*menu, QStringLiteral("Rescan/checksum file"));
        QVERIFY(item);
        Progress::shared().setTitle(QStringLiteral("untouched"));
        Debugging::setFlagForTesting(true);
        LogRecorder recorder;

        const QByteArray name = QFile::encodeName(location.path());
        if (change == u"content")
            QVERIFY(writeFile(location.path(), "second, longer"));
        else if (change == u"mode 000")
            QVERIFY(::chmod(name.constData(), 0000) == 0);
        else
            QVERIFY(QFile::remove(location.path()));
        if (fromMenu) {
            item->trigger(); // returns at once; its task is queued on the pool
        } else {
            QFuture<void> done = FileActions::rescanFile(location);
            QVERIFY(QTest::qWaitFor([&] { return done.isFinished(); }, 20000));
        }
        QVERIFY(EnginePool::waitForDone(20000));
        Debugging::setFlagForTesting(false);

        const QString tag = QStringLiteral(" [ FileView.rescanFile(_:) ]");
        QVERIFY(recorder.has(QStringLiteral("DEBUG: Attempting to obtain sandbox permissions for location") +
                             tag));
        const FileObjectPtr after = Database::shared().record(location);
        QVERIFY(after);
        if (change == u"content") {
            QCOMPARE(storedSha1(location), sha1("second, longer"));
            QVERIFY(!recorder.hasPrefix(QStringLiteral("DEBUG: Could not obtain")));
            return;
        }
        QVERIFY(recorder.has(
            QStringLiteral("DEBUG: Could not obtain permission to escape sandbox for location") + tag));
        QVERIFY(recorder.has(QStringLiteral("DEBUG: Sandbox permissions available to parent location: ") +
                             folder.urlText() + tag));
        QCOMPARE(Progress::shared().title(), QStringLiteral("Error: sandbox permissions denied"));
        const FileObjectData now = after->snapshot();
        QVERIFY(now.status == before.status);
        QVERIFY(now.checksums == before.checksums);
        QCOMPARE(now.bytes, before.bytes);
        QCOMPARE(now.modified, before.modified);
    }

    // Removal through the menu: the list loses the row and the saved file the record.
    void removeReachesSavedFile() {
        const Location folder = makeFolder(m_dir, QStringLiteral("remove"));
        const Location kept = writeFile(folder, QStringLiteral("kept"), "kept");
        const Location gone = writeFile(folder, QStringLiteral("gone"), "gone");
        addAndSettle({kept, gone});
        QVERIFY(processed(kept) && processed(gone));
        FileListModel model(Database::shared());
        const int rows = model.rowCount();

        std::unique_ptr<TintedMenu> menu(
            makeFileMenu(Database::shared().record(gone), ApplicationState::Idle, nullptr));
        QVERIFY(menu);
        QAction* remove = actionNamed(*menu, QStringLiteral("Remove file from database"));
        QVERIFY(remove);
        remove->trigger();
        QVERIFY(!Database::shared().contains(gone));
        QTRY_COMPARE(model.rowCount(), rows - 1);
        QVERIFY(EnginePool::waitForDone(20000));

        Database saved(Database::shared().file());
        saved.load(false);
        QVERIFY(!saved.contains(gone));
        QVERIFY(saved.contains(kept));
    }
};

TREVALIN_GUI_TEST_MAIN(tst_FileActions)
#include "tst_FileActions.moc"
