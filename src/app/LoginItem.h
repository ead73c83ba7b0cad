// LoginItem: the launcher's XDG autostart entry, which starts the launcher at every
// login (the launcher then decides whether to start Trevalin). setEnabled(true) writes
// or refreshes ~/.config/autostart/org.corvane.Launcher.desktop with the launcher's
// absolute path; setEnabled(false) removes it.
//
// Thread-safety: stateless; the file is replaced atomically, so concurrent callers
// leave one complete entry.
#pragma once

#include <QString>

namespace trevalin {

class LoginItem {
public:
    LoginItem() = delete;

    // <config folder>/autostart/org.corvane.Launcher.desktop.
    static QString entryPath();
    // launcherPath(dir) for the folder of this program's executable.
    static QString launcherPath();
    // The Launcher executable for a Trevalin in `programDir`: beside it (as in the build
    // folder), else where an installation puts it (<prefix>/libexec/trevalin/Launcher
    // for <prefix>/bin/Trevalin). When neither is an executable file, the one beside.
    static QString launcherPath(const QString& programDir);
    // The entry's text for a launcher at `launcher`.
    static QByteArray entryText(const QString& launcher);
    // Writes (enabled) or removes (disabled) the entry; whether that worked.
    static bool setEnabled(bool enabled);
    // `path` as one argument of a desktop entry's Exec key: quoted when it holds a
    // character the Exec syntax reserves, then escaped as a string value.
    static QString execArgument(const QString& path);
};

} // namespace trevalin
