// LauncherApp: the login helper. Started at every login through its autostart entry,
// it starts Trevalin when the user asked for that ("Trevalin.autoLaunch" in the shared
// settings suite) and Trevalin is not running yet, then waits until Trevalin, starting
// up, tells it to go (the "killLauncher" notification). Every step is one line on
// standard output; every outcome but a missing session bus ends with status 0.
//
// Thread-safety: a QObject of the main thread; the bus delivers its signal there.
#pragma once

#include <QObject>
#include <QString>

namespace trevalin {

class LauncherApp : public QObject {
    Q_OBJECT

public:
    // Exit status when there is no session bus to ask or listen on.
    static constexpr int kExitNoBus = 69; // EX_UNAVAILABLE

    // Runs the start-up steps. Returns the exit status when the helper is done at once,
    // or -1 when it waits for "killLauncher" (the event loop then ends it).
    int start();

    // findTarget(dir) for the folder of this program's executable.
    static QString findTarget();
    // The Trevalin executable for a launcher in `launcherDir`: beside it (as in the build
    // folder), else where an installation puts it (<prefix>/bin/Trevalin for
    // <prefix>/libexec/trevalin/Launcher), else on PATH; empty when none.
    static QString findTarget(const QString& launcherDir);

public slots:
    void posted(const QString& name, const QString& object);
};

} // namespace trevalin
