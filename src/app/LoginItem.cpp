#include "app/LoginItem.h"

#include "engine/DistributedNotifications.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace trevalin {

QString LoginItem::entryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/") + QLatin1String(DistributedNotifications::kLauncherService) +
           QStringLiteral(".desktop");
}

QString LoginItem::launcherPath() {
    return launcherPath(QCoreApplication::applicationDirPath());
}

QString LoginItem::launcherPath(const QString& programDir) {
    const auto executable = [](const QString& path) {
        const QFileInfo info(path);
        return info.isFile() && info.isExecutable();
    };
    const QString beside = programDir + QStringLiteral("/Launcher");
    if (executable(beside))
        return beside;
    // The build defines where the launcher is installed relative to the program.
    const QString installed =
        QDir::cleanPath(programDir + u'/' + QStringLiteral(TREVALIN_LAUNCHER_FROM_PROGRAM));
    return executable(installed) ? installed : beside;
}

QString LoginItem::execArgument(const QString& path) {
    // An argument with a reserved character is double-quoted, and inside the quotes
    // the characters " ` $ \ take a backslash. A literal % is always doubled.
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = false;
    for (QChar c : path)
        quote = quote || reserved.contains(c);
    QString arg;
    for (QChar c : path) {
        if (c == u'%')
            arg += QStringLiteral("%%");
        else if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\'))
            arg += u'\\' + QString(c);
        else
            arg += c;
    }
    if (quote)
        arg = u'"' + arg + u'"';
    // The Exec value is a string value too: its own escapes come on top.
    QString value;
    for (QChar c : arg) {
        switch (c.unicode()) {
        case '\\':
            value += QStringLiteral("\\\\");
            break;
        case '\n':
            value += QStringLiteral("\\n");
            break;
        case '\t':
            value += QStringLiteral("\\t");
            break;
        case '\r':
            value += QStringLiteral("\\r");
            break;
        default:
            value += c;
        }
    }
    return value;
}

QByteArray LoginItem::entryText(const QString& launcher) {
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Trevalin Launcher\n"
                                        "Comment=Starts Trevalin at login when it is set to open at login\n"
                                        "Exec=%1\n"
                                        "Terminal=false\n"
                                        "NoDisplay=true\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(execArgument(launcher));
    return text.toUtf8();
}

bool LoginItem::setEnabled(bool enabled) {
    const QString path = entryPath();
    if (!enabled)
        return !QFile::exists(path) || QFile::remove(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(entryText(launcherPath()));
    return file.commit();
}

} // namespace trevalin
