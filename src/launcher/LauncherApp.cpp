#include "launcher/LauncherApp.h"

#include "engine/DistributedNotifications.h"
#include "model/Location.h"
#include "store/AppSettings.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>

namespace trevalin {

namespace {

using Notifications = DistributedNotifications;

void print(const QString& line) {
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

QString target() {
    return QString::fromLatin1(Notifications::kTrevalinService);
}

} // namespace

QString LauncherApp::findTarget() {
    return findTarget(QCoreApplication::applicationDirPath());
}

QString LauncherApp::findTarget(const QString& launcherDir) {
    // The build defines where Trevalin is installed relative to the launcher.
    for (const QString& path :
         {launcherDir + QStringLiteral("/Trevalin"),
          QDir::cleanPath(launcherDir + u'/' + QStringLiteral(TREVALIN_PROGRAM_FROM_LAUNCHER))}) {
        const QFileInfo info(path);
        if (info.isFile() && info.isExecutable())
            return path;
    }
    return QStandardPaths::findExecutable(QStringLiteral("Trevalin"));
}

int LauncherApp::start() {
    const bool autoLaunch = AppSettings::shared().autoLaunch(); // absent: false
    print(QStringLiteral("Launch helper application started"));
    print(QStringLiteral("Settings/preference value; should launch target: ") +
          (autoLaunch ? QStringLiteral("true") : QStringLiteral("false")));
    if (!autoLaunch)
        return 0;

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) {
        std::fprintf(stderr, "Launcher: no session bus: %s\n", qPrintable(bus.lastError().message()));
        return kExitNoBus;
    }
    // Trevalin looks for this name to tell whether a launcher runs.
    bus.registerService(QLatin1String(Notifications::kLauncherService));

    if (Notifications::isRunning(target())) {
        print(QStringLiteral("Launch helper determined target application already running: ") + target());
        return 0;
    }
    print(QStringLiteral("Launch helper determined target application not running: ") + target());
    bus.connect(QString(), QLatin1String(Notifications::kPath), QLatin1String(Notifications::kInterface),
                QLatin1String(Notifications::kSignal), this, SLOT(posted(QString, QString)));

    const QString path = findTarget();
    if (path.isEmpty()) {
        print(QStringLiteral("Launch helper could not identify the target application"));
        return 0;
    }
    // Nobody watches the start: if Trevalin fails to come up, the helper waits on.
    QProcess::startDetached(path, {QStringLiteral("/Applications")});
    print(QStringLiteral("Launch helper requested start of target application: ") + target());
    print(QStringLiteral("URL: ") + Location(path).urlText());
    print(QStringLiteral("Path: ") + path);
    return -1;
}

void LauncherApp::posted(const QString& name, const QString&) {
    if (name != QLatin1String(Notifications::killLauncher))
        return;
    print(QStringLiteral("Launcher received termination request/signal from partner application"));
    QCoreApplication::exit(0);
}

} // namespace trevalin
