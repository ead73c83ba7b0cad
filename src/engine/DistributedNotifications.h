// DistributedNotifications: named signals between Trevalin's processes (the desktop
// program, the launcher, scripts) on the session bus. A notification is the D-Bus
// signal Posted(s name, s object) on kPath, interface kInterface; anyone on the bus
// may post one, for example
//   dbus-send --session --type=signal /org/corvane/notifications
//       org.corvane.DistributedNotifications.Posted string:quit string:
// (one command line).
// The names and the well-known bus names of the programs live here too.
//
// Thread-safety: stateless; post() may be called from any thread.
#pragma once

#include <QString>

namespace trevalin {

class DistributedNotifications {
public:
    DistributedNotifications() = delete;

    static constexpr const char* kPath = "/org/corvane/notifications";
    static constexpr const char* kInterface = "org.corvane.DistributedNotifications";
    static constexpr const char* kSignal = "Posted";

    // The bus names each program owns while it runs (its bundle identifier).
    static constexpr const char* kTrevalinService = "org.corvane.Trevalin";
    static constexpr const char* kLauncherService = "org.corvane.Launcher";

    // Notification names.
    static constexpr const char* algorithmSelection = "algorithmSelection";
    static constexpr const char* statusReset = "statusReset";
    static constexpr const char* statusIdle = "statusIdle";
    static constexpr const char* process = "process";
    static constexpr const char* quit = "quit";
    static constexpr const char* saveBookmarks = "saveBookmarks";
    static constexpr const char* saveDatabase = "saveDatabase";
    static constexpr const char* killLauncher = "killLauncher";

    // Emits Posted(name, object) on the session bus. False when there is no session
    // bus or the signal could not be sent.
    static bool post(const QString& name, const QString& object);
    // Whether a session bus is configured at all (connecting without one only fails
    // after a while, so callers ask this first).
    static bool sessionBusConfigured();
    // Whether some process owns `service` on the session bus; false without a bus.
    static bool isRunning(const QString& service);
};

} // namespace trevalin
