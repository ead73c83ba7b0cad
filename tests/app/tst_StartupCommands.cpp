// The start-up sequence: its steps and their order, what KillLauncher prints and posts
// and the autostart entry it writes (and which launcher it runs), the instance UUID across launches, and what
// the debugging setting switches on.
#include "AppTestSupport.h"

#include "app/LoginItem.h"
#include "app/StartupCommandsBuilder.h"
#include "app/StartupHost.h"
#include "app/StartupValues.h"
#include "engine/DistributedNotifications.h"
#include "store/AppSettings.h"
#include "store/Debugging.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <unistd.h>

using namespace trevalin;

namespace {

class Host : public StartupHost {
public:
    void createStatusBar() override { ++statusBars; }
    void registerReceiver() override { ++receivers; }
    std::shared_ptr<TaglineSource> taglines() override { return nullptr; }
    int statusBars = 0;
    int receivers = 0;
};

// What `work` writes to standard output.
template <typename Work> QString captureStdout(Work work) {
    QTemporaryFile file;
    if (!file.open())
        return QStringLiteral("<no capture file>");
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(file.handle(), STDOUT_FILENO);
    work();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    file.seek(0);
    return QString::fromUtf8(file.readAll());
}

// Collects the distributed notifications seen on the bus.
class Listener : public QObject {
    Q_OBJECT
public:
    Listener() {
        QDBusConnection::sessionBus().connect(QString(), QLatin1String(DistributedNotifications::kPath),
                                              QLatin1String(DistributedNotifications::kInterface),
                                              QLatin1String(DistributedNotifications::kSignal), this,
                                              SLOT(posted(QString, QString)));
    }
    QStringList seen;
public slots:
    void posted(const QString& name, const QString& object) { seen << name + u' ' + object; }
};

} // namespace

class tst_StartupCommands : public QObject {
    Q_OBJECT

private slots:
    void tenStepsInOrder() {
        Host host;
        QStringList names;
        for (const auto& command : StartupCommandsBuilder(host).commands())
            names << command->name();
        QCOMPARE(names, QStringList({QStringLiteral("KillLauncher"), QStringLiteral("Logging"),
                                     QStringLiteral("StateTracking"), QStringLiteral("LoadSettings"),
                                     QStringLiteral("Taglines"), QStringLiteral("SecurityBookmarks"),
                                     QStringLiteral("CoreDataStack"), QStringLiteral("DatabaseStartup"),
                                     QStringLiteral("StatusBar"), QStringLiteral("Notifications")}));
    }

    void killLauncher_data() {
        QTest::addColumn<bool>("launcherRunning");
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QStringList>("posted");
        QTest::addRow("no launcher")
            << false << QStringLiteral("Application launch helper not found running: org.corvane.Launcher\n")
            << QStringList();
        QTest::addRow("launcher running")
            << true << QStringLiteral("Sending launch helper the kill signal: org.corvane.Launcher\n")
            << QStringList{QStringLiteral("killLauncher org.corvane.Launcher")};
    }
    void killLauncher() {
        QFETCH(bool, launcherRunning);
        QFETCH(QString, printed);
        QFETCH(QStringList, posted);
        QDBusConnection bus = QDBusConnection::sessionBus();
        const QString launcher = QLatin1String(DistributedNotifications::kLauncherService);
        if (launcherRunning)
            QVERIFY(bus.registerService(launcher));
        QFile::remove(LoginItem::entryPath());
        Listener listener;

        QCOMPARE(captureStdout([] { startup::KillLauncher().execute(); }), printed);
        if (posted.isEmpty())
            QTest::qWait(100); // a stray signal would arrive within this
        else
            QTRY_VERIFY(!listener.seen.isEmpty());
        QCOMPARE(listener.seen, posted);
        bus.unregisterService(launcher);

        // Registered at every start, with the launcher's absolute path.
        QFile entry(LoginItem::entryPath());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY2(text.contains(QStringLiteral("\nExec=") + QCoreApplication::applicationDirPath() +
                               QStringLiteral("/Launcher\n")),
                 qPrintable(text));
        QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\nType=Application\n")));
    }

    // Trevalin in <root>/usr/bin: the launcher beside it (the build folder) comes first,
    // then the installed one in <root>/usr/libexec/trevalin; only executable files count.
    void launcherPathLooksBesideThenWhereInstalled_data() {
        QTest::addColumn<QStringList>("executables");
        QTest::addColumn<QStringList>("plainFiles");
        QTest::addColumn<QString>("launcher");
        const QString beside = QStringLiteral("usr/bin/Launcher");
        const QString installed =
            QDir::cleanPath(QStringLiteral("usr/bin/") + QLatin1String(TREVALIN_LAUNCHER_FROM_PROGRAM));
        QTest::addRow("both") << QStringList{beside, installed} << QStringList() << beside;
        QTest::addRow("installed") << QStringList{installed} << QStringList() << installed;
        QTest::addRow("beside not executable") << QStringList{installed} << QStringList{beside} << installed;
        QTest::addRow("neither") << QStringList() << QStringList{installed} << beside;
    }
    void launcherPathLooksBesideThenWhereInstalled() {
        QFETCH(QStringList, executables);
        QFETCH(QStringList, plainFiles);
        QFETCH(QString, launcher);
        QTemporaryDir root;
        QDir().mkpath(root.filePath(QStringLiteral("usr/bin")));
        for (const QString& path : executables + plainFiles) {
            QDir().mkpath(QFileInfo(root.filePath(path)).path());
            QFile file(root.filePath(path));
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (executables.contains(path))
                file.setPermissions(file.permissions() | QFile::ExeOwner);
        }
        QCOMPARE(LoginItem::launcherPath(root.filePath(QStringLiteral("usr/bin"))), root.filePath(launcher));
    }

    void execArgumentQuotesWhatTheExecKeyReserves_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("exec");
        QTest::addRow("plain") << QStringLiteral("/opt/trevalin/Launcher")
                               << QStringLiteral("/opt/trevalin/Launcher");
        QTest::addRow("space") << QStringLiteral("/opt/my apps/Launcher")
                               << QStringLiteral("\"/opt/my apps/Launcher\"");
        QTest::addRow("quote and dollar")
            << QStringLiteral("/o\"p$t/L") << QStringLiteral("\"/o\\\\\"p\\\\$t/L\"");
        QTest::addRow("backslash") << QStringLiteral("/a\\b/L") << QStringLiteral("\"/a\\\\\\\\b/L\"");
        QTest::addRow("percent") << QStringLiteral("/100%/L") << QStringLiteral("/100%%/L");
    }
    void execArgumentQuotesWhatTheExecKeyReserves() {
        QFETCH(QString, path);
        QFETCH(QString, exec);
        QCOMPARE(LoginItem::execArgument(path), exec);
    }

    void startedUsesTheLongDateAndMediumTime_data() {
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<QString>("text");
        QTest::addRow("evening") << QDateTime(QDate(2026, 12, 6), QTime(23, 44, 57))
                                 << QStringLiteral("December 6, 2026 at 11:44:57 PM");
        QTest::addRow("after midnight") << QDateTime(QDate(2027, 1, 1), QTime(0, 5, 9))
                                        << QStringLiteral("January 1, 2027 at 12:05:09 AM");
        QTest::addRow("noon") << QDateTime(QDate(2026, 7, 14), QTime(12, 0, 0))
                              << QStringLiteral("July 14, 2026 at 12:00:00 PM");
    }
    void startedUsesTheLongDateAndMediumTime() {
        QFETCH(QDateTime, date);
        QFETCH(QString, text);
        QCOMPARE(StartupValues::longDateMediumTime(date), text);
    }

    // The first launch makes and stores the instance UUID; later launches log the same.
    // With debugging off there is no DispatchTime line and no notification receiver;
    // with it on, both.
    void loggingAndNotificationsFollowTheSettings() {
        Host host;
        Debugging::setFlagForTesting(false);
        QVERIFY(AppSettings::shared().appUUID().isEmpty());
        test::LogRecorder log;
        captureStdout([] { startup::Logging().execute(); });
        startup::Notifications(host).execute();
        const QString uuid = AppSettings::shared().appUUID();
        QVERIFY(!QUuid::fromString(uuid).isNull());
        QCOMPARE(
            log.lines().mid(0, 3),
            QStringList({QStringLiteral("INFO: Application bundle identifier: org.corvane.Trevalin [ "
                                        "Logging.execute() ]"),
                         QStringLiteral("INFO: Application instance UUID: [ ") + uuid + QStringLiteral(" ]"),
                         QStringLiteral("INFO: Started: ") +
                             StartupValues::longDateMediumTime(StartupValues::date())}));
        QCOMPARE(log.lines().size(), 3);
        QCOMPARE(host.receivers, 0);

        log.clear();
        Debugging::setFlagForTesting(true);
        captureStdout([] { startup::Logging().execute(); });
        startup::Notifications(host).execute();
        QCOMPARE(AppSettings::shared().appUUID(), uuid);
        QCOMPARE(log.lines().at(1),
                 QStringLiteral("INFO: Application instance UUID: [ ") + uuid + QStringLiteral(" ]"));
        QCOMPARE(log.lines().at(3), QStringLiteral("DEBUG: DispatchTime at startup: ") +
                                        QString::number(StartupValues::uptimeNanoseconds()));
        QCOMPARE(host.receivers, 1);
        QVERIFY(log.has(QStringLiteral("DEBUG: Debug feature only; listening for external application "
                                       "notifications/event [ Notifications.execute() ]")));
        Debugging::resetForTesting();
    }
};

TREVALIN_GUI_TEST_MAIN(tst_StartupCommands)
#include "tst_StartupCommands.moc"
