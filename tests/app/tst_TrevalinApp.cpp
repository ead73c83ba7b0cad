// The application scene: whether the main window starts shown, the one main window
// that "Trevalin://MainView" brings forward, and the flag table filled before any
// start-up step can report a database ready, and the state machine's sounds handed
// to the program's audio player.
#include "AppTestSupport.h"

#include "app/AudioActor.h"
#include "app/TrevalinApp.h"
#include "engine/EnginePool.h"
#include "engine/FlagStore.h"
#include "engine/Global.h"
#include "store/AppSettings.h"
#include "ui/MainWindow.h"

using namespace trevalin;

class tst_TrevalinApp : public QObject {
    Q_OBJECT

private slots:
    void mainWindowAtLaunch_data() {
        QTest::addColumn<bool>("tray");
        QTest::addColumn<bool>("hideFileBrowser");
        QTest::addColumn<bool>("windowVisible");
        QTest::addColumn<bool>("shown");
        QTest::addRow("tray, visible") << true << false << true << true;
        QTest::addRow("tray, hidden last time") << true << false << false << false;
        QTest::addRow("tray, hideFileBrowser") << true << true << true << false;
        QTest::addRow("no tray: always shown") << false << true << false << true;
    }
    void mainWindowAtLaunch() {
        QFETCH(bool, tray);
        QFETCH(bool, hideFileBrowser);
        QFETCH(bool, windowVisible);
        QFETCH(bool, shown);
        AppSettings& settings = AppSettings::shared();
        settings.setHideFileBrowser(hideFileBrowser);
        settings.setWindowVisible(windowVisible);

        TrevalinApp app(tray);
        // Filled at creation, before the first start-up step runs.
        QCOMPARE(FlagStore::shared().keyCount(), 9);
        QCOMPARE(app.mainWindow().isVisible(), shown);
        QCOMPARE(settings.windowVisible(), shown);

        MainWindow* window = &app.mainWindow();
        app.openUrl(QUrl(QStringLiteral("https://example.org/MainView")));
        QCOMPARE(window->isVisible(), shown);
        app.openUrl(QUrl(QStringLiteral("trevalin://mainview")));
        QVERIFY(window->isVisible());
        QVERIFY(window->view().body() != MainView::Body::Hidden); // never an empty window
        QCOMPARE(&app.mainWindow(), window);
        int mainWindows = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            mainWindows += qobject_cast<MainWindow*>(widget) ? 1 : 0;
        QCOMPARE(mainWindows, 1);
        EnginePool::waitForDone();
    }

    void soundsReachTheAudioPlayer() {
        AudioActor& player = *AudioActor::shared();
        player.setOutputCheckForTesting([] { return false; }); // nothing heard here
        TrevalinApp app(false);
        QVERIFY(!player.starting());
        Global::shared().evaluating(std::nullopt);
        QVERIFY(player.starting()); // the request was taken
        EnginePool::waitForDone();
    }
};

TREVALIN_GUI_TEST_MAIN(tst_TrevalinApp)
#include "tst_TrevalinApp.moc"
