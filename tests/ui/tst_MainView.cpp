// The main window's content: the body the settings call for, the tutorial giving way
// to the file list and coming back, "Add Files/Folders" through its picker (and the
// real multi-selection dialog), drops of file URLs, and the window's minimum size.
#include "app/AppTestSupport.h"

#include "app/LocationPicker.h"
#include "app/MultiLocationDialog.h"
#include "engine/Global.h"
#include "engine/Progress.h"
#include "store/AppSettings.h"
#include "store/CoreDataStack.h"
#include "store/Database.h"
#include "store/Debugging.h"
#include "ui/ContentDelegate.h"
#include "ui/ContentListView.h"
#include "ui/ContentRoles.h"
#include "ui/FileListModel.h"
#include "ui/FolderListModel.h"
#include "ui/MainLayoutView.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"
#include "ui/SplashScreenView.h"
#include "ui/ToolbarView.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace trevalin;
using Body = MainView::Body;

namespace {

// Answers at once with what it was given; counts the questions.
class FixedPicker : public LocationPicker {
public:
    explicit FixedPicker(std::optional<QList<Location>> answer)
        : m_answer(std::move(answer)) {}
    void pick(const Options&, Answer answer) override {
        ++asked;
        answer(m_answer);
    }
    int asked = 0;

private:
    std::optional<QList<Location>> m_answer;
};

// Intake that records what reached it.
struct IntakeLog {
    QList<QList<Location>> lists;
    QList<Location> singles;
    DropAggregator::Intake intake() {
        return {[this](const Location& l) { singles.append(l); },
                [this](const QList<Location>& l) { lists.append(l); }};
    }
};

// The list's rows as text: "H:" and the header's text, "--" for the divider, "T:" and
// the hint, or the row's text.
QStringList rows(MainLayoutView& view) {
    const QAbstractItemModel& model = *view.list().model();
    QStringList out;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex index = model.index(row, 0);
        const QString text = index.data().toString();
        switch (RowKind(index.data(roles::Kind).toInt())) {
        case RowKind::Header:
            out.append(QStringLiteral("H:") + text);
            break;
        case RowKind::Divider:
            out.append(QStringLiteral("--"));
            break;
        case RowKind::Tutorial:
            out.append(QStringLiteral("T:") + text);
            break;
        default:
            out.append(text);
        }
    }
    return out;
}

Folder folder(const QString& path) {
    const Location location(path);
    return Folder{QUuid::createUuid(), location, location.fileName(), location.path()};
}

// A main layout over its own database and folder store, which report their changes
// at once.
struct Layout {
    Layout(const QTemporaryDir& dir, const QString& name)
        : database(dir.filePath(name + QStringLiteral(".plist")))
        , folders(dir.filePath(name + QStringLiteral(".sqlite")))
        , view(database, folders, progress) {
        database.setChangeInterval(std::chrono::milliseconds(1));
        folders.setChangeInterval(std::chrono::milliseconds(1));
    }
    Database database;
    CoreDataStack folders;
    Progress progress;
    MainLayoutView view;
};

bool drop(MainLayoutView& view, QMimeData& data) {
    QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject&>(view).event(&event);
    return event.isAccepted();
}

} // namespace

class tst_MainView : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString makeFile(const QString& name) {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write("x") != 1)
            qFatal("cannot write %s", qPrintable(file.fileName()));
        return file.fileName();
    }

private slots:
    void bodies_data() {
        QTest::addColumn<bool>("windowVisible");
        QTest::addColumn<bool>("splashScreen");
        QTest::addColumn<Body>("body");
        QTest::addRow("hidden") << false << true << Body::Hidden;
        QTest::addRow("splash") << true << true << Body::Splash;
        QTest::addRow("main") << true << false << Body::Main;
    }
    void bodies() {
        QFETCH(bool, windowVisible);
        QFETCH(bool, splashScreen);
        QFETCH(Body, body);
        AppSettings::shared().setWindowVisible(windowVisible);
        AppSettings::shared().setSplashScreen(splashScreen);
        Database database(m_dir.filePath(QStringLiteral("bodies.plist")));
        CoreDataStack folders(m_dir.filePath(QStringLiteral("bodies.sqlite")));
        Progress progress;
        MainView view(database, folders, progress);
        view.show();
        QCOMPARE(view.body(), body);
        QCOMPARE(view.splashScreen() != nullptr, body == Body::Splash);
        if (body != Body::Splash)
            return;
        // Nothing dropped on the splash screen reaches intake.
        QVERIFY(!view.splashScreen()->acceptDrops());
        // Finishing it turns the setting off and shows the main layout at once.
        auto* splash = view.findChild<SplashScreenView*>();
        QVERIFY(splash);
        AppSettings::shared().setSplashScreen(false);
        emit splash->finished();
        QCOMPARE(view.body(), Body::Main);
        QVERIFY(view.mainLayout().isVisible());
    }

    // The list's sections: headers counting folders (a nameless one counted, not
    // listed) and files, folders by name whatever the order they came in, the divider,
    // and the tutorial giving way to the files and coming back once they are gone.
    void sections() {
        Layout layout(m_dir, QStringLiteral("sections"));
        auto& [database, folders, progress, view] = layout;
        QAbstractItemModelTester sectionsTester(view.list().model());
        QAbstractItemModelTester files(&view.fileModel());
        QAbstractItemModelTester folderTester(&view.folderModel());
        QSignalSpy resets(&view.fileModel(), &QAbstractItemModel::modelReset);
        QCOMPARE(rows(view).size(), 10);
        QVERIFY(rows(view).front().startsWith(QStringLiteral("T:")));

        folders.insertIfAbsent(folder(QStringLiteral("/data/charlie")));
        QVERIFY(QTest::qWaitFor([&] {
            return rows(view).mid(0, 3) == QStringList{u"H:Folders"_qs, u"charlie"_qs, u"--"_qs};
        }));
        for (const QString& path :
             {QStringLiteral("/data/alpha"), QStringLiteral("/"), QStringLiteral("/data/bravo")})
            folders.insertIfAbsent(folder(path));
        QVERIFY(QTest::qWaitFor([&] { return rows(view).size() == 15; }));
        QCOMPARE(rows(view).mid(0, 5),
                 (QStringList{u"H:4 Folders"_qs, u"alpha"_qs, u"bravo"_qs, u"charlie"_qs, u"--"_qs}));

        QStringList paths;
        for (int i = 0; i < 12; ++i)
            paths.append(makeFile(QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0'))));
        database.set(Location(paths[0]), FileObject::create(Location(paths[0]), false));
        QVERIFY(QTest::qWaitFor([&] { return rows(view).mid(5) == QStringList{u"H:Files"_qs, u"f00"_qs}; }));
        for (const QString& path : paths.mid(1))
            database.set(Location(path), FileObject::create(Location(path), false));
        QVERIFY(QTest::qWaitFor([&] { return rows(view).size() == 5 + 13; }));
        QCOMPARE(rows(view).at(5), u"H:12 Files"_qs);
        QCOMPARE(rows(view).at(7), u"f01"_qs);

        // One record processed: its row alone changes, and gains its tooltip.
        const QModelIndex f03 = view.fileModel().index(3, 0);
        QVERIFY(!f03.data(Qt::ToolTipRole).isValid());
        QSignalSpy changed(&view.fileModel(), &QAbstractItemModel::dataChanged);
        database.checksumStore(Location(paths[3]), Checksum::make(Digest::SHA1, QStringLiteral("ab")));
        QVERIFY(QTest::qWaitFor([&] { return !changed.isEmpty(); }));
        QCOMPARE(changed.front().at(0).value<QModelIndex>().row(), 3);
        QCOMPARE(changed.front().at(1).value<QModelIndex>().row(), 3);
        QCOMPARE(f03.data(Qt::ToolTipRole).toString(), m_dir.path());

        // Removing from the middle keeps the rest in order; emptying brings the tutorial back.
        database.removeRecord(Location(paths[1]));
        QVERIFY(QTest::qWaitFor([&] { return view.fileModel().rowCount() == 11; }));
        QCOMPARE(rows(view).at(7), u"f02"_qs);
        for (const QString& path : paths)
            database.removeRecord(Location(path));
        QVERIFY(QTest::qWaitFor([&] { return view.showsTutorial(); }));
        QCOMPARE(rows(view).size(), 5 + 10);
        QCOMPARE(resets.size(), 0); // row by row, never the whole list
    }

    void addFilesFolders_data() {
        QTest::addColumn<bool>("cancel");
        QTest::addRow("cancelled") << true;
        QTest::addRow("a file and a folder") << false;
    }
    void addFilesFolders() {
        QFETCH(bool, cancel);
        Debugging::setFlagForTesting(true);
        const QList<Location> chosen{Location(makeFile(QStringLiteral("chosen"))), Location(m_dir.path())};
        Layout layout(m_dir, QStringLiteral("add"));
        auto& [database, folders, progress, view] = layout;
        auto picker = std::make_unique<FixedPicker>(cancel ? std::nullopt : std::optional(chosen));
        FixedPicker& asked = *picker;
        view.setLocationPicker(std::move(picker));
        QList<QList<Location>> intake;
        view.setIntake([&](const QList<Location>& locations) { intake.append(locations); });
        test::LogRecorder recorder;

        view.toolbar().addAction()->trigger();
        QCOMPARE(asked.asked, 1);
        QVERIFY(recorder.has(QStringLiteral("DEBUG: canChooseFiles: [ true ] canChooseDirectories: [ true ] "
                                            "allowsMultipleSelection: [ true ]")));
        QCOMPARE(intake, cancel ? QList<QList<Location>>{} : QList<QList<Location>>{chosen});
        QCOMPARE(recorder.has(QStringLiteral("DEBUG: ") + m_dir.path()), !cancel);
        Debugging::setFlagForTesting(false);
    }

    // The real dialog returns files and folders selected together, in the list's order.
    void dialogChoosesFilesAndFolders() {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("folder"));
        QFile file(dir.filePath(QStringLiteral("file.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        MultiLocationDialog dialog(true, true, true);
        dialog.setDirectory(dir.path());
        dialog.show();
        auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
        QVERIFY(list);
        QVERIFY(QTest::qWaitFor([&] { return list->model()->rowCount(list->rootIndex()) == 2; }));
        for (int row = 0; row < 2; ++row)
            list->selectionModel()->select(list->model()->index(row, 0, list->rootIndex()),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        QTRY_COMPARE(buttons->button(QDialogButtonBox::Open)->text(), QStringLiteral("Select"));
        buttons->button(QDialogButtonBox::Open)->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.chosenPaths(),
                 (QStringList{dir.filePath(QStringLiteral("folder")), file.fileName()}));
    }

    void drops_data() {
        QTest::addColumn<QStringList>("urls"); // "" for a plain-text drop
        QTest::addColumn<int>("singles");
        QTest::addColumn<int>("listSize");
        QTest::addColumn<bool>("accepted");
        QTest::addRow("one file") << QStringList{QStringLiteral("/tmp/one")} << 1 << 0 << true;
        QTest::addRow("three files") << QStringList{QStringLiteral("/tmp/c"), QStringLiteral("/tmp/a"),
                                                    QStringLiteral("/tmp/b")}
                                     << 0 << 3 << true;
        QTest::addRow("two files and a web link")
            << QStringList{QStringLiteral("/tmp/a"), QStringLiteral("https://example.org/x"),
                           QStringLiteral("/tmp/b")}
            << 0 << 2 << true;
        QTest::addRow("no file") << QStringList{} << 0 << 0 << false;
        QTest::addRow("plain text") << QStringList{QString()} << 0 << 0 << false;
    }
    void drops() {
        QFETCH(QStringList, urls);
        QFETCH(int, singles);
        QFETCH(int, listSize);
        QFETCH(bool, accepted);
        Layout layout(m_dir, QStringLiteral("drops"));
        auto& [database, folders, progress, view] = layout;
        IntakeLog log;
        view.setDropDelegate(DragDropDelegate(log.intake()));
        test::LogRecorder recorder;
        QMimeData data;
        QList<QUrl> list;
        QList<Location> files;
        for (const QString& url : urls) {
            list.append(url.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(url) : QUrl(url));
            if (url.startsWith(QLatin1Char('/')))
                files.append(Location(url));
        }
        if (urls == QStringList{QString()})
            data.setText(QStringLiteral("/tmp/a"));
        else
            data.setUrls(list);

        QCOMPARE(drop(view, data), accepted);
        QCOMPARE(log.singles.size(), singles);
        QCOMPARE(log.lists, listSize ? QList<QList<Location>>{files} : QList<QList<Location>>{});
        if (singles)
            QCOMPARE(log.singles.front(), files.front());
        QCOMPARE(
            recorder.has(QStringLiteral("ERROR: Dragged content type did not conform to: text/uri-list")),
            !accepted);
    }

    // The list is reached with Tab, rows are chosen with the arrow keys, and the menu of
    // the current row opens with the Menu key and Shift+F10 as with the right button.
    void keyboardReachesMenus() {
        Layout layout(m_dir, QStringLiteral("keys"));
        auto& [database, folders, progress, view] = layout;
        view.resize(420, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        folders.insertIfAbsent(folder(QStringLiteral("/data/alpha")));
        const QString path = makeFile(QStringLiteral("keyed"));
        database.set(Location(path), FileObject::create(Location(path), false));
        QVERIFY(
            QTest::qWaitFor([&] { return rows(view).size() == 5; })); // header, folder, divider, header, file
        ContentListView& list = view.list();
        QSignalSpy menus(&list, &ContentListView::menuRequested);

        view.setFocus();
        for (int i = 0; i < 5 && !list.hasFocus(); ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(list.hasFocus());
        list.setCurrentIndex(list.model()->index(1, 0));
        QTest::keyClick(&list, Qt::Key_Down); // the divider and the header are passed over
        QCOMPARE(list.currentIndex().row(), 4);
        QTest::keyClick(&list, Qt::Key_Menu);
        QVERIFY(!view.openMenu()); // a pending file has no menu yet
        const FileObjectPtr record = database.record(Location(path));
        record->setChecksums({Checksum::make(Digest::SHA1, QStringLiteral("ab12"))});
        record->setStatus(FileState::Processed);
        Global::shared().setStatusForTesting(ApplicationState::Idle);
        QTest::keyClick(&list, Qt::Key_Menu);
        QVERIFY(view.openMenu());
        QCOMPARE(view.openMenu()->actions().size(), 4); // the checksum, a separator, rescan, remove
        view.openMenu()->close();
        QTest::keyClick(&list, Qt::Key_F10, Qt::ShiftModifier);
        QVERIFY(view.openMenu());
        view.openMenu()->close();
        const QPoint onFolder = list.visualRect(list.model()->index(1, 0)).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, onFolder, list.viewport()->mapToGlobal(onFolder));
        QCoreApplication::sendEvent(list.viewport(), &click);
        QVERIFY(view.openMenu());
        QCOMPARE(view.openMenu()->actions().front()->text(),
                 QStringLiteral("Enable folder content monitoring"));
        QCOMPARE(menus.size(), 4);
        QCOMPARE(menus.at(1).at(0).value<QModelIndex>().row(), 4);
        QCOMPARE(menus.at(2).at(0).value<QModelIndex>().row(), 4);
        QCOMPARE(menus.at(3).at(0).value<QModelIndex>().row(), 1);
    }

    // Holding a monitored folder's eye reports it; a short press, or one that moves
    // more than 10 pixels, does not.
    void eyeLongPress_data() {
        QTest::addColumn<int>("holdMs");
        QTest::addColumn<int>("move");
        QTest::addColumn<bool>("held");
        QTest::addRow("held") << 120 << 0 << true;
        QTest::addRow("held, moved a little") << 120 << 6 << true;
        QTest::addRow("short") << 10 << 0 << false;
        QTest::addRow("moved away") << 120 << 14 << false;
    }
    void eyeLongPress() {
        QFETCH(int, holdMs);
        QFETCH(int, move);
        QFETCH(bool, held);
        Layout layout(m_dir, QStringLiteral("eye"));
        auto& [database, folders, progress, view] = layout;
        view.resize(420, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        Folder watched = folder(QStringLiteral("/data/watched"));
        watched.monitored = true;
        folders.insertIfAbsent(watched);
        QVERIFY(QTest::qWaitFor([&] { return view.folderModel().rowCount() == 1; }));
        ContentListView& list = view.list();
        list.setLongPressForTesting(60);
        QSignalSpy eyes(&list, &ContentListView::eyeHeld);
        const QPoint eye = ContentDelegate::eyeRect(list.visualRect(list.model()->index(1, 0))).center();

        QTest::mousePress(list.viewport(), Qt::LeftButton, {}, eye);
        if (move)
            QTest::mouseMove(list.viewport(), eye + QPoint(move, 0));
        QTest::qWait(holdMs);
        QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, eye + QPoint(move, 0));
        QCOMPARE(eyes.size(), held ? 1 : 0);
        if (held)
            QCOMPARE(eyes.front()
                         .front()
                         .value<QModelIndex>()
                         .data(FolderListModel::FolderRole)
                         .value<Folder>()
                         .path,
                     QStringLiteral("/data/watched"));
    }

    void minimumSize() {
        AppSettings::shared().setWindowVisible(true);
        AppSettings::shared().setSplashScreen(false);
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.resize(100, 100);
        QTRY_COMPARE(window.size(), QSize(420, 320));
    }
};

TREVALIN_GUI_TEST_MAIN(tst_MainView)
#include "tst_MainView.moc"
