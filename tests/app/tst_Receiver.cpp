// The debug notification receiver: each name, posted by another process with
// dbus-send, reaches its handler (its warning line, then its effect).
#include "AppTestSupport.h"

#include "app/Receiver.h"
#include "engine/EnginePool.h"
#include "engine/Global.h"

#include <QProcess>

using namespace trevalin;

namespace {

bool post(const QString& name) {
    return QProcess::execute(QStringLiteral("dbus-send"),
                             {QStringLiteral("--session"), QStringLiteral("--type=signal"),
                              QStringLiteral("/org/corvane/notifications"),
                              QStringLiteral("org.corvane.DistributedNotifications.Posted"),
                              QStringLiteral("string:") + name, QStringLiteral("string:")}) == 0;
}

} // namespace

class tst_Receiver : public QObject {
    Q_OBJECT

private slots:
    void eachNameReachesItsHandler_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("effect"); // a further line its handler logs, if any
        QTest::addRow("statusReset") << QStringLiteral("statusReset") << QString();
        QTest::addRow("statusIdle") << QStringLiteral("statusIdle") << QString();
        QTest::addRow("process") << QStringLiteral("process")
                                 << QStringLiteral(
                                        "WARNING: Queue processing invoked, but NO files are queued "
                                        "[ Process.process() ]");
        QTest::addRow("quit") << QStringLiteral("quit") << QString();
        QTest::addRow("saveBookmarks") << QStringLiteral("saveBookmarks") << QString();
        QTest::addRow("saveDatabase") << QStringLiteral("saveDatabase") << QString();
        QTest::addRow("algorithmSelection")
            << QStringLiteral("algorithmSelection") << QStringLiteral("VERBOSE: Algorithms enabled: SHA1");
    }
    void eachNameReachesItsHandler() {
        QFETCH(QString, name);
        QFETCH(QString, effect);
        int quits = 0;
        Receiver receiver([&quits] { ++quits; });
        QVERIFY(receiver.isListening());
        Global::shared().setStatusForTesting(
            name == QLatin1String("statusIdle") ? ApplicationState::Processing : ApplicationState::Idle);
        test::LogRecorder log;
        QVERIFY(post(name));
        QVERIFY(test::waitForLine(log, QStringLiteral("WARNING: Received notification to call: ") + name +
                                           QStringLiteral("(_:)")));
        EnginePool::waitForDone();
        if (!effect.isEmpty())
            QVERIFY2(test::waitForLine(log, effect), qPrintable(log.lines().join(u'\n')));
        QCOMPARE(quits, name == QLatin1String("quit") ? 1 : 0);
        if (name == QLatin1String("statusReset"))
            QVERIFY(Global::shared().status() == ApplicationState::Resetting);
        if (name == QLatin1String("statusIdle"))
            QVERIFY(Global::shared().status() == ApplicationState::Idle);
        if (name.startsWith(QLatin1String("save")))
            QVERIFY(log.messages().filter(QStringLiteral("notification")).size() == 1); // no failure line
    }

    void otherNamesAreIgnored() {
        int quits = 0;
        Receiver receiver([&quits] { ++quits; });
        test::LogRecorder log;
        QVERIFY(post(QStringLiteral("killLauncher")));
        QVERIFY(post(QStringLiteral("quit")));
        QVERIFY(test::waitForLine(log, QStringLiteral("WARNING: Received notification to call: quit(_:)")));
        QCOMPARE(log.messages().filter(QStringLiteral("Received notification")).size(), 1);
        QCOMPARE(quits, 1);
    }
};

TREVALIN_GUI_TEST_MAIN(tst_Receiver)
#include "tst_Receiver.moc"
