// The tray item: its menu, what each entry does, the CSV export through the picker
// seam, and the icon animation with a shortened blink interval.
#include "AppTestSupport.h"
#include "store/StoreTestSupport.h"

#include "app/StatusBarAnimator.h"
#include "app/StatusBarController.h"
#include "engine/EnginePool.h"
#include "engine/Timing.h"
#include "store/AppSettings.h"
#include "store/Database.h"

#include <QAction>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace trevalin;
using namespace std::chrono_literals;

namespace {

// Answers at once with a fixed path (or a cancellation) and counts the questions.
class FixedPicker : public ExportLocationPicker {
public:
    FixedPicker(std::optional<QString> answer, int* asked)
        : m_answer(std::move(answer))
        , m_asked(asked) {}
    void pick(Answer answer) override {
        ++*m_asked;
        answer(m_answer);
    }

private:
    std::optional<QString> m_answer;
    int* m_asked;
};

struct Routed {
    QList<QUrl> urls;
    bool visibleWhenRouted = false;
    int preferences = 0;
    int quits = 0;
};

std::unique_ptr<StatusBarController> makeController(Routed& routed) {
    StatusBarController::Routes routes;
    routes.openUrl = [&routed](const QUrl& url) {
        routed.visibleWhenRouted = AppSettings::shared().windowVisible();
        routed.urls << url;
    };
    routes.showPreferences = [&routed] { ++routed.preferences; };
    routes.quit = [&routed] { ++routed.quits; };
    return std::make_unique<StatusBarController>(std::move(routes));
}

QAction* entry(StatusBarController& controller, const QString& title) {
    for (QAction* action : controller.menu().actions())
        if (action->text() == title)
            return action;
    return nullptr;
}

} // namespace

class tst_StatusBarController : public QObject {
    Q_OBJECT

private slots:
    void menuEntriesInOrderWithTheirShortcuts() {
        Routed routed;
        auto controller = makeController(routed);
        QStringList entries;
        for (QAction* action : controller->menu().actions())
            entries << (action->isSeparator() ? QStringLiteral("-")
                                              : action->text() + u' ' + action->shortcut().toString());
        QCOMPARE(entries,
                 QStringList({QStringLiteral("About Trevalin Ctrl+A"), QStringLiteral("-"),
                              QStringLiteral("Export Database Ctrl+E"), QStringLiteral("-"),
                              QStringLiteral("Database Viewer Ctrl+N"), QStringLiteral("Preferences Ctrl+P"),
                              QStringLiteral("-"), QStringLiteral("Quit Ctrl+Q")}));
        QCOMPARE(controller->displayedIcon(), QStringLiteral("Standard"));
        entry(*controller, QStringLiteral("Quit"))->trigger();
        QCOMPARE(routed.quits, 1);
    }

    void databaseViewerShowsTheSettingBeforeRouting() {
        Routed routed;
        auto controller = makeController(routed);
        AppSettings::shared().setWindowVisible(false);
        entry(*controller, QStringLiteral("Database Viewer"))->trigger();
        QCOMPARE(routed.urls, QList<QUrl>{QUrl(QStringLiteral("Trevalin://MainView"))});
        QVERIFY(routed.visibleWhenRouted);
    }

    void preferencesWaitForTheSplashScreen() {
        Routed routed;
        auto controller = makeController(routed);
        AppSettings::shared().setSplashScreen(true);
        entry(*controller, QStringLiteral("Preferences"))->trigger();
        QCOMPARE(routed.preferences, 0);
        AppSettings::shared().setSplashScreen(false);
        entry(*controller, QStringLiteral("Preferences"))->trigger();
        QCOMPARE(routed.preferences, 1);
    }

    void exportDatabase_data() {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("unwritable");
        QTest::addColumn<QString>("logged");
        QTest::addRow("written") << false << false << QString();
        QTest::addRow("cancelled") << true << false
                                   << QStringLiteral(
                                          "DEBUG: User aborted operation, did not choose save file "
                                          "location [ StatusBarController.saveFile(data:) ]");
        QTest::addRow("unwritable") << false << true
                                    << QStringLiteral(
                                           "ERROR: Unable to export database file to location: file://");
    }
    void exportDatabase() {
        QFETCH(bool, cancel);
        QFETCH(bool, unwritable);
        QFETCH(QString, logged);
        QTemporaryDir dir;
        const QString target = unwritable ? dir.filePath(QStringLiteral("no such folder/database.csv"))
                                          : dir.filePath(QStringLiteral("my export.csv"));
        Routed routed;
        auto controller = makeController(routed);
        int asked = 0;
        controller->setPicker(
            std::make_unique<FixedPicker>(cancel ? std::nullopt : std::optional<QString>(target), &asked));
        Database& database = Database::shared();
        database.reset();
        EnginePool::waitForDone();

        // An empty database asks nothing and writes nothing.
        entry(*controller, QStringLiteral("Export Database"))->trigger();
        QCOMPARE(asked, 0);

        database.set(Location(QStringLiteral("/data/a,b.txt")),
                     test::makeRecord(QStringLiteral("/data/a,b.txt"), 3,
                                      {Checksum::make(Digest::SHA1, QStringLiteral("a9993e36"))}));
        database.set(Location(QStringLiteral("/data/é.txt")),
                     test::makeRecord(QStringLiteral("/data/é.txt")));
        test::LogRecorder log;
        entry(*controller, QStringLiteral("Export Database"))->trigger();
        QCOMPARE(asked, 1);
        EnginePool::waitForDone();
        // Only the export's own lines count: the database logs its saves in the background.
        const QStringList lines = log.lines().filter(QRegularExpression(QStringLiteral("aborted|export")));
        if (logged.isEmpty()) {
            QFile file(target);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("Path,MD5,SHA1,SHA256,SHA384,SHA512\r"
                                                "\"/data/a,b.txt\",,a9993e36,,,\r"
                                                "/data/\xC3\xA9.txt,,,,,\r"));
            QCOMPARE(lines, QStringList());
        } else {
            QCOMPARE(lines.size(), 1);
            QVERIFY2(lines.first().startsWith(logged), qPrintable(lines.first()));
            if (unwritable)
                QVERIFY(lines.first().endsWith(QStringLiteral("/no%20such%20folder/database.csv")));
            QVERIFY(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
        }
        database.reset();
        EnginePool::waitForDone();
    }

    // start then stop ends on the standard icon; two starts make one loop (it ends once);
    // stop without start changes nothing.
    void animationEndsOnTheStandardIcon_data() {
        QTest::addColumn<int>("starts");
        QTest::addRow("stop without start") << 0;
        QTest::addRow("start, stop") << 1;
        QTest::addRow("start twice, stop") << 2;
    }
    void animationEndsOnTheStandardIcon() {
        QFETCH(int, starts);
        Timing::setForTesting(Timing::kSettleInterval, Timing::kStartupDelay, 20ms);
        Routed routed;
        auto controller = makeController(routed);
        QSignalSpy stopped(controller.get(), &StatusBarController::blinkingStopped);
        for (int i = 0; i < starts; ++i)
            controller->animator()->start();
        if (starts) {
            QTRY_COMPARE(controller->displayedIcon(), QStringLiteral("Exclamation"));
            QTRY_COMPARE(controller->displayedIcon(), QStringLiteral("Standard")); // it blinks
        }
        controller->animator()->stop();
        if (starts)
            QTRY_COMPARE(stopped.count(), 1);
        QTest::qWait(100); // five blink intervals: a second loop would end by now too
        QCOMPARE(stopped.count(), starts ? 1 : 0);
        QCOMPARE(controller->displayedIcon(), QStringLiteral("Standard"));
        Timing::resetForTesting();
    }
};

TREVALIN_GUI_TEST_MAIN(tst_StatusBarController)
#include "tst_StatusBarController.moc"
