// Trevalin: the desktop program. One runs per session: a second start asks the running
// one to show its main window and ends.
#include "app/SingleInstance.h"
#include "app/StartupProbe.h"
#include "app/StartupValues.h"
#include "app/TrevalinApp.h"
#include "engine/DataLock.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QSystemTrayIcon>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kExitInUse = 75; // EX_TEMPFAIL: the data files are in use; try again later

void printError(const QString& text) {
    const QByteArray line = QStringLiteral("Trevalin: %1\n").arg(text).toLocal8Bit();
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
}

} // namespace

int main(int argc, char** argv) {
    using namespace trevalin;
    StartupValues::capture();

    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("corvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Trevalin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TREVALIN_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.corvane.Trevalin"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/Trevalin.svg")));

    // A URL of ours names what to show; "/Applications", which the launcher passes, and
    // anything else are ignored.
    QUrl requested;
    for (const QString& argument : QCoreApplication::arguments().mid(1)) {
        const QUrl url(argument);
        if (TrevalinApp::isMainViewUrl(url))
            requested = url;
    }

    SingleInstance instance;
    if (instance.claim() == SingleInstance::Claim::alreadyRunning) {
        QString error;
        if (SingleInstance::forward(
                requested.isEmpty() ? QUrl(QStringLiteral("Trevalin://MainView")) : requested, &error))
            return EXIT_SUCCESS;
        printError(QStringLiteral("another Trevalin is running but did not answer: ") + error);
        return EXIT_FAILURE;
    }

    DataLock lock;
    QString reason;
    if (!lock.acquire(&reason, DataLock::Check::fileOnly)) {
        printError(QStringLiteral("cannot start: ") + reason);
        QMessageBox box(
            QMessageBox::Critical, QStringLiteral("Trevalin"),
            QStringLiteral("Trevalin cannot start: its data files are in use by another process."),
            QMessageBox::Close);
        box.setInformativeText(reason);
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            return kExitInUse; // nobody could close the box
        QObject::connect(&box, &QMessageBox::finished, &app, &QCoreApplication::quit);
        box.open();
        QApplication::exec();
        return kExitInUse;
    }

    const bool tray = QSystemTrayIcon::isSystemTrayAvailable();
    QApplication::setQuitOnLastWindowClosed(!tray);

    TrevalinApp scene(tray);
    instance.setOpenHandler([&scene](const QUrl& url) { scene.openUrl(url); });
    instance.setVisibilityProbe([&scene] { return scene.mainWindow().isVisible(); });
    StartupProbe::install(scene);
    if (!requested.isEmpty())
        scene.openUrl(requested);

    const int status = QApplication::exec();
    if (!scene.shutdown()) {
        // Engine work is still running: end here, with the data saved, rather than
        // destroy what those threads use.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
