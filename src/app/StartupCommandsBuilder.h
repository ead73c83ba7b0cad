// StartupCommandsBuilder: the start-up sequence — ten steps that the application scene
// executes one after another on the GUI thread when the program starts:
//   KillLauncher, Logging          their work, done before the next step;
//   StateTracking, LoadSettings, Taglines, SecurityBookmarks, CoreDataStack,
//   DatabaseStartup, StatusBar     each starts a task on the engine pool and returns
//                                  (StatusBar's task comes back to the GUI thread);
//   Notifications                  the debug notification receiver, with debugging on.
// So the window may appear before the databases are loaded; start-up is complete when
// both databases have reported "ready" to the flag store, not at the end of this list.
// The engine pieces come from Engine (engine/Engine.h), whose wiring the scene has
// installed with Engine::start() before the first step.
//
// Thread-safety: build and execute on the GUI thread; `host` must outlive the tasks
// the steps start (the application scene lives as long as the process).
#pragma once

#include "app/Command.h"

#include <memory>
#include <vector>

namespace trevalin {

class StartupHost;

class StartupCommandsBuilder {
public:
    explicit StartupCommandsBuilder(StartupHost& host)
        : m_host(host) {}

    // A new list of the ten steps, in order.
    std::vector<std::unique_ptr<Command>> commands() const;

    // Executes the steps of a new list in order.
    void run() const;

private:
    StartupHost& m_host;
};

namespace startup {

// Stops a running launcher: registers the login item, then posts "killLauncher" to
// the launcher if one runs. Prints (logging is not set up yet) what it did.
class KillLauncher final : public Command {
public:
    QString name() const override { return QStringLiteral("KillLauncher"); }
    void execute() override;
};

// Installs the log destinations and writes the start-up lines; gives the program its
// instance UUID ("appUUID") on the first launch.
class Logging final : public Command {
public:
    QString name() const override { return QStringLiteral("Logging"); }
    void execute() override;
};

class StateTracking final : public Command {
public:
    QString name() const override { return QStringLiteral("StateTracking"); }
    void execute() override;
};

class LoadSettings final : public Command {
public:
    QString name() const override { return QStringLiteral("LoadSettings"); }
    void execute() override;
};

class Taglines final : public Command {
public:
    explicit Taglines(StartupHost& host)
        : m_host(host) {}
    QString name() const override { return QStringLiteral("Taglines"); }
    void execute() override;

private:
    StartupHost& m_host;
};

class SecurityBookmarks final : public Command {
public:
    QString name() const override { return QStringLiteral("SecurityBookmarks"); }
    void execute() override;
};

class CoreDataStack final : public Command {
public:
    QString name() const override { return QStringLiteral("CoreDataStack"); }
    void execute() override;
};

class DatabaseStartup final : public Command {
public:
    QString name() const override { return QStringLiteral("DatabaseStartup"); }
    void execute() override;
};

class StatusBar final : public Command {
public:
    explicit StatusBar(StartupHost& host)
        : m_host(host) {}
    QString name() const override { return QStringLiteral("StatusBar"); }
    void execute() override;

private:
    StartupHost& m_host;
};

class Notifications final : public Command {
public:
    explicit Notifications(StartupHost& host)
        : m_host(host) {}
    QString name() const override { return QStringLiteral("Notifications"); }
    void execute() override;

private:
    StartupHost& m_host;
};

} // namespace startup
} // namespace trevalin
