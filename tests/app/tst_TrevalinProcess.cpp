// The desktop program as a user starts it: build/bin/Trevalin under a virtual display,
// on this test's own session bus with a stand-in tray, in a fresh home holding a
// database that trevalinctl wrote. It must log its start-up lines in order, load the
// database, show its tray item, come forward when started a second time (the second
// start ends with status 0), and end with status 0 on a posted "quit", leaving every
// record as it was.
#include "AppTestSupport.h"

#include "engine/DistributedNotifications.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

using namespace trevalin;

namespace {

QString bin(const char* program) {
    return QCoreApplication::applicationDirPath() + u'/' + QLatin1String(program);
}

// A child process that keeps what it printed.
struct Child {
    QProcess process;
    QByteArray output;
    explicit Child(const QProcessEnvironment& env) {
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&process, &QProcess::readyRead, [this] { output += process.readAll(); });
    }
    ~Child() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    bool printed(const QByteArray& text) {
        return QTest::qWaitFor([&] { return output.contains(text); }, 30000);
    }
};

} // namespace

class tst_TrevalinProcess : public QObject {
    Q_OBJECT

private slots:
    void startsComesForwardAndQuitsCleanly() {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral(".local/share")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral(".cache")));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        {
            QSettings settings(home.filePath(QStringLiteral(".config/corvane/Trevalin.conf")),
                               QSettings::IniFormat);
            settings.setValue(QStringLiteral("debugging"), true);
            settings.setValue(QStringLiteral("hideFileBrowser"), true);
            settings.setValue(QStringLiteral("splashScreen"), false);
        }
        QDir().mkpath(home.filePath(QStringLiteral("files")));
        QFile file(home.filePath(QStringLiteral("files/a.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("abc") == 3);
        file.close();

        auto ctl = [&](const QStringList& args) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(bin("trevalinctl"), args);
            p.waitForFinished(60000);
            return std::pair(p.exitCode(), p.readAllStandardOutput());
        };
        QCOMPARE(ctl({QStringLiteral("add"), file.fileName()}).first, 0);
        const QByteArray before = ctl({QStringLiteral("export")}).second;
        QVERIFY2(before.contains("a9993e364706816aba3e25717850c26c9cd0d89d"), before.constData());

        Child tray(env);
        tray.process.start(bin("test-tray-watcher"));
        QVERIFY(tray.printed("ready\n"));

        Child first(env);
        first.process.start(QStringLiteral("xvfb-run"),
                            {QStringLiteral("-a"), QStringLiteral("-s"),
                             QStringLiteral("-screen 0 1280x800x24"), bin("Trevalin")});
        QVERIFY2(first.printed("Content database startup/initialisation completed"),
                 first.output.constData());
        QVERIFY2(first.printed("Created the status bar application interface"), first.output.constData());
        QVERIFY(tray.printed("registered "));
        QVERIFY(first.output.contains("Successfully loaded [ 1 ] database records"));

        // The start-up lines, in this order.
        const QList<QByteArray> ordered{
            "Application launch helper not found running: org.corvane.Launcher\n",
            "Logging to destinations: Console File \n",
            "Local log output file path: " + home.filePath(QStringLiteral(".local/share/corvane/Trevalin/"
                                                                          "org.corvane.Trevalin.log"))
                                                 .toUtf8(),
            "INFO: Application bundle identifier: org.corvane.Trevalin [ Logging.execute() ]\n",
            "INFO: Application instance UUID: [ ",
            "INFO: Started: ",
            "DEBUG: DispatchTime at startup: ",
            "DEBUG: Debug feature only; listening for external application notifications/event",
        };
        qsizetype at = 0;
        for (const QByteArray& line : ordered) {
            const qsizetype found = first.output.indexOf(line, at);
            QVERIFY2(found >= 0, line.constData());
            at = found + line.size();
        }

        QDBusInterface app(QLatin1String(DistributedNotifications::kTrevalinService),
                           QStringLiteral("/org/corvane/Trevalin"), QStringLiteral("org.corvane.Trevalin"));
        QCOMPARE(app.property("MainWindowVisible"), QVariant(false)); // hideFileBrowser

        // A second start asks the first to show its window, and ends.
        QProcessEnvironment offscreen = env;
        offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        Child second(offscreen);
        second.process.start(bin("Trevalin"), {QStringLiteral("/Applications")});
        QVERIFY(second.process.waitForFinished(30000));
        QCOMPARE(second.process.exitCode(), 0);
        QTRY_COMPARE(app.property("MainWindowVisible"), QVariant(true));

        QVERIFY(DistributedNotifications::post(QStringLiteral("quit"), QString()));
        QVERIFY(first.process.state() == QProcess::NotRunning || first.process.waitForFinished(30000));
        QCOMPARE(first.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.process.exitCode(), 0);
        QVERIFY(first.output.contains("WARNING: Received notification to call: quit(_:)"));

        // Every record as it was, and the data folder free for the next program.
        QCOMPARE(ctl({QStringLiteral("export")}).second, before);
        QCOMPARE(ctl({QStringLiteral("list")}).first, 0);
    }
};

TREVALIN_GUI_TEST_MAIN(tst_TrevalinProcess)
#include "tst_TrevalinProcess.moc"
