// The login helper as the session starts it: a real process on this test's own
// session bus, with the shared settings suite in a fresh home. It must say what it
// decides, start Trevalin at most once and only when asked to and not running, and
// end on "killLauncher" from any process.
#include "TestMain.h"

#include "engine/DistributedNotifications.h"
#include "store/AppSettings.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

using namespace trevalin;

namespace {

const QByteArray kStarted = "Launch helper application started\n"
                            "Settings/preference value; should launch target: ";

struct Run {
    QProcess process;
    QByteArray out;
    Run(const QString& program, const QProcessEnvironment& env) {
        process.setProcessEnvironment(env);
        QObject::connect(&process, &QProcess::readyReadStandardOutput,
                         [this] { out += process.readAllStandardOutput(); });
        process.start(program);
    }
    ~Run() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // Also when it ended while the test was processing events (waitForFinished() is then false).
    bool finished() {
        return (process.state() == QProcess::NotRunning || process.waitForFinished(20000)) &&
               process.exitStatus() == QProcess::NormalExit;
    }
    bool printed(const QByteArray& text) {
        return QTest::qWaitFor([&] { return out.contains(text); }, 20000);
    }
};

void setAutoLaunch(const QString& home, std::optional<bool> value) {
    QSettings suite(home + QStringLiteral("/.config/corvane/group.org.corvane.conf"), QSettings::IniFormat);
    if (value)
        suite.setValue(QLatin1String(AppSettings::kAutoLaunchKey), *value);
    else
        suite.remove(QLatin1String(AppSettings::kAutoLaunchKey));
}

} // namespace

class tst_Launcher : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();
    QString m_launcher; // a copy with no Trevalin beside it

private slots:
    void initTestCase() {
        m_env.insert(QStringLiteral("HOME"), m_home.path());
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral(".config")));
        m_env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral(".local/share")));
        QDir().mkpath(m_home.filePath(QStringLiteral("bin")));
        m_launcher = m_home.filePath(QStringLiteral("alone/Launcher"));
        QDir().mkpath(m_home.filePath(QStringLiteral("alone")));
        QVERIFY(
            QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/Launcher"), m_launcher));
        // A stand-in Trevalin on PATH that records how it was started.
        QFile target(m_home.filePath(QStringLiteral("bin/Trevalin")));
        QVERIFY(target.open(QIODevice::WriteOnly));
        target.write("#!/bin/sh\necho \"$@\" >> \"$HOME/started\"\n");
        target.close();
        target.setPermissions(target.permissions() | QFile::ExeOwner);
        m_env.insert(QStringLiteral("PATH"),
                     m_home.filePath(QStringLiteral("bin")) + u':' + m_env.value(QStringLiteral("PATH")));
    }

    void quitsWhenNotAskedToLaunch_data() {
        QTest::addColumn<std::optional<bool>>("setting");
        QTest::addRow("setting missing") << std::optional<bool>();
        QTest::addRow("setting false") << std::optional<bool>(false);
    }
    void quitsWhenNotAskedToLaunch() {
        QFETCH(std::optional<bool>, setting);
        setAutoLaunch(m_home.path(), setting);
        Run run(m_launcher, m_env);
        QVERIFY(run.finished());
        QCOMPARE(run.process.exitCode(), 0);
        QCOMPARE(run.out, kStarted + "false\n");
    }

    void leavesARunningTrevalinAlone() {
        setAutoLaunch(m_home.path(), true);
        const QString name = QLatin1String(DistributedNotifications::kTrevalinService);
        QVERIFY(QDBusConnection::sessionBus().registerService(name));
        Run run(m_launcher, m_env);
        QVERIFY(run.finished());
        QDBusConnection::sessionBus().unregisterService(name);
        QCOMPARE(run.process.exitCode(), 0);
        QCOMPARE(run.out, kStarted + "true\nLaunch helper determined target application already running: "
                                     "org.corvane.Trevalin\n");
        QVERIFY(!QFile::exists(m_home.filePath(QStringLiteral("started"))));
    }

    // Where the launcher looks for Trevalin: beside itself (the build folder), then where
    // an installation puts Trevalin (<prefix>/bin for <prefix>/libexec/trevalin/Launcher),
    // then on PATH (which always holds a stand-in here).
    void startsTrevalinOnceThenWaitsForKillLauncher_data() {
        QTest::addColumn<QString>("launcher");
        QTest::addColumn<QStringList>("standIns");
        QTest::addColumn<QString>("target");
        const QString installed =
            QDir::cleanPath(QStringLiteral("usr/bin/") + QLatin1String(TREVALIN_LAUNCHER_FROM_PROGRAM));
        const QString besideInstalled = QFileInfo(installed).path() + QStringLiteral("/Trevalin");
        QTest::addRow("on PATH") << QStringLiteral("alone/Launcher") << QStringList()
                                 << QStringLiteral("bin/Trevalin");
        QTest::addRow("installed") << installed << QStringList{QStringLiteral("usr/bin/Trevalin")}
                                   << QStringLiteral("usr/bin/Trevalin");
        QTest::addRow("beside first")
            << installed << QStringList{besideInstalled, QStringLiteral("usr/bin/Trevalin")}
            << besideInstalled;
    }
    void startsTrevalinOnceThenWaitsForKillLauncher() {
        QFETCH(QString, launcher);
        QFETCH(QStringList, standIns);
        QFETCH(QString, target);
        QTemporaryDir layout(m_home.filePath(QStringLiteral("layout-XXXXXX")));
        const auto place = [&](const QString& from, const QString& to) {
            QDir().mkpath(QFileInfo(layout.filePath(to)).path());
            return QFile::copy(from, layout.filePath(to));
        };
        QVERIFY(place(m_launcher, launcher));
        for (const QString& standIn : standIns)
            QVERIFY(place(m_home.filePath(QStringLiteral("bin/Trevalin")), standIn));
        target = standIns.isEmpty() ? m_home.filePath(target) : layout.filePath(target);
        QFile::remove(m_home.filePath(QStringLiteral("started")));
        setAutoLaunch(m_home.path(), true);
        Run run(layout.filePath(launcher), m_env);
        QVERIFY(run.printed("Path: " + target.toUtf8() + '\n'));
        QCOMPARE(run.out,
                 kStarted +
                     "true\n"
                     "Launch helper determined target application not running: org.corvane.Trevalin\n"
                     "Launch helper requested start of target application: org.corvane.Trevalin\n"
                     "URL: file://" +
                     QUrl::toPercentEncoding(target, "/") + "\nPath: " + target.toUtf8() + '\n');
        QFile started(m_home.filePath(QStringLiteral("started")));
        QTRY_VERIFY(started.exists());
        QVERIFY(started.open(QIODevice::ReadOnly));
        QCOMPARE(started.readAll(), QByteArray("/Applications\n"));
        started.remove();

        // Still there: another notification does not end it, killLauncher from anyone does.
        DistributedNotifications::post(QStringLiteral("quit"), QString());
        QVERIFY(!run.process.waitForFinished(200));
        QVERIFY(DistributedNotifications::post(QStringLiteral("killLauncher"), QString()));
        QVERIFY(run.finished());
        QCOMPARE(run.process.exitCode(), 0);
        QVERIFY(run.out.endsWith("Launcher received termination request/signal from partner application\n"));
    }

    void endsWhenThereIsNoTrevalin() {
        setAutoLaunch(m_home.path(), true);
        QProcessEnvironment env = m_env;
        env.insert(QStringLiteral("PATH"), QStringLiteral("/nonexistent"));
        Run run(m_launcher, env);
        QVERIFY(run.finished());
        QCOMPARE(run.process.exitCode(), 0);
        QVERIFY(run.out.endsWith("not running: org.corvane.Trevalin\n"
                                 "Launch helper could not identify the target application\n"));
    }

    void saysSoWithoutASessionBus() {
        setAutoLaunch(m_home.path(), true);
        QProcessEnvironment env = m_env;
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
        Run run(m_launcher, env);
        QVERIFY(run.finished());
        QVERIFY(run.process.exitCode() != 0);
        QVERIFY(run.process.readAllStandardError().startsWith("Launcher: no session bus"));
    }

    // The real pair: the launcher starts Trevalin, whose start-up tells it to go.
    void startsTheRealTrevalinWhichEndsIt() {
        setAutoLaunch(m_home.path(), true);
        QSettings settings(m_home.filePath(QStringLiteral(".config/corvane/Trevalin.conf")),
                           QSettings::IniFormat);
        settings.setValue(QStringLiteral("debugging"), true);
        settings.sync();
        QProcessEnvironment env = m_env;
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        QProcess launcher;
        launcher.setProcessEnvironment(env);
        launcher.setProcessChannelMode(QProcess::MergedChannels);
        // The launcher's output is Trevalin's too: Trevalin inherits it. The display lives
        // as long as the shell: after the launcher it asks Trevalin to quit and waits for
        // its bus name to go, so Trevalin never loses its display under it.
        // "quit" is repeated until Trevalin listens (its receiver comes up late in start-up).
        const QString script = QStringLiteral(
            "\"$0\"; status=$?\n"
            "for i in $(seq 200); do\n"
            "  dbus-send --session --type=signal /org/corvane/notifications "
            "org.corvane.DistributedNotifications.Posted string:quit string:\n"
            "  sleep 0.1\n"
            "  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "
            "org.freedesktop.DBus.NameHasOwner string:org.corvane.Trevalin | grep -q 'boolean false' && exit "
            "$status\n"
            "done\n"
            "exit 9\n");
        launcher.start(QStringLiteral("xvfb-run"),
                       {QStringLiteral("-a"), QStringLiteral("sh"), QStringLiteral("-c"), script,
                        QCoreApplication::applicationDirPath() + QStringLiteral("/Launcher")});
        QVERIFY(launcher.waitForFinished(60000));
        const QByteArray out = launcher.readAll();
        QCOMPARE(launcher.exitCode(), 0); // the launcher's status, and Trevalin gone
        QVERIFY2(out.contains("Sending launch helper the kill signal: org.corvane.Launcher"),
                 out.constData());
        QVERIFY(out.contains("Launcher received termination request/signal from partner application"));
    }
};

TREVALIN_TEST_MAIN(tst_Launcher)
#include "tst_Launcher.moc"
