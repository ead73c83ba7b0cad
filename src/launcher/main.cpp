// Launcher: the login helper that starts Trevalin at login when the user wants it to.
#include "launcher/LauncherApp.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("corvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Trevalin"));
    trevalin::LauncherApp launcher;
    const int status = launcher.start();
    return status >= 0 ? status : QCoreApplication::exec();
}
