#include "app/StartupCommandsBuilder.h"

#include "app/LoginItem.h"
#include "app/StartupHost.h"
#include "app/StartupValues.h"
#include "engine/DistributedNotifications.h"
#include "engine/Engine.h"
#include "engine/EnginePool.h"
#include "engine/Global.h"
#include "engine/TaglineSource.h"
#include "logging/BaseDestination.h"
#include "logging/Log.h"
#include "logging/LogTag.h"
#include "logging/Logger.h"
#include "store/AppSettings.h"
#include "store/CoreDataStack.h"
#include "store/Debugging.h"

#include <QMetaObject>
#include <QPointer>
#include <QUuid>

#include <optional>

namespace trevalin {

std::vector<std::unique_ptr<Command>> StartupCommandsBuilder::commands() const {
    std::vector<std::unique_ptr<Command>> list;
    list.push_back(std::make_unique<startup::KillLauncher>());
    list.push_back(std::make_unique<startup::Logging>());
    list.push_back(std::make_unique<startup::StateTracking>());
    list.push_back(std::make_unique<startup::LoadSettings>());
    list.push_back(std::make_unique<startup::Taglines>(m_host));
    list.push_back(std::make_unique<startup::SecurityBookmarks>());
    list.push_back(std::make_unique<startup::CoreDataStack>());
    list.push_back(std::make_unique<startup::DatabaseStartup>());
    list.push_back(std::make_unique<startup::StatusBar>(m_host));
    list.push_back(std::make_unique<startup::Notifications>(m_host));
    return list;
}

void StartupCommandsBuilder::run() const {
    for (const std::unique_ptr<Command>& command : commands())
        command->execute();
}

namespace startup {

void KillLauncher::execute() {
    const QString launcher = QString::fromLatin1(DistributedNotifications::kLauncherService);
    const bool running = DistributedNotifications::isRunning(launcher);
    // The launcher is registered to start at every login, whatever the auto-launch
    // setting: it decides itself whether to start the program. The outcome is not
    // reported: without the entry the program still runs.
    LoginItem::setEnabled(true);
    if (running) {
        BaseDestination::printLine(QStringLiteral("Sending launch helper the kill signal: ") + launcher);
        DistributedNotifications::post(QLatin1String(DistributedNotifications::killLauncher), launcher);
    } else {
        BaseDestination::printLine(QStringLiteral("Application launch helper not found running: ") +
                                   launcher);
    }
}

void Logging::execute() {
    // The destinations stay installed in the shared logger for the rest of the run.
    static std::optional<Log> log;
    if (!log)
        log.emplace(Log::startupDestinations(), PlatformCredentials::builtIn());

    AppSettings& settings = AppSettings::shared();
    QString uuid = settings.appUUID();
    if (uuid.isEmpty()) {
        uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        settings.setAppUUID(uuid);
    }
    TLOG_INFO(QStringLiteral("Application bundle identifier: ") + StartupValues::bundleIdentifier() +
              logTag("Logging.execute()"));
    TLOG_INFO(QStringLiteral("Application instance UUID: [ ") + uuid + QStringLiteral(" ]"));
    TLOG_INFO(QStringLiteral("Started: ") + StartupValues::longDateMediumTime(StartupValues::date()));
    if (Debugging::flag())
        TLOG_DEBUG(QStringLiteral("DispatchTime at startup: ") +
                   QString::number(StartupValues::uptimeNanoseconds()));
}

void StateTracking::execute() {
    EnginePool::runMedium([] {
        Engine::initialiseFlags();
        Global::shared().start();
    });
}

void LoadSettings::execute() {
    EnginePool::runLow([] {
        Engine::loadAlgorithms();
        TLOG_INFO(QStringLiteral("Initialised application settings/preferences") +
                  logTag("LoadSettings.execute()"));
    });
}

void Taglines::execute() {
    std::shared_ptr<TaglineSource> taglines = m_host.taglines();
    if (!taglines)
        return;
    EnginePool::runLow([taglines] { taglines->regenerate(); });
}

void SecurityBookmarks::execute() {
    EnginePool::runMedium([] {
        Engine::loadBookmarks();
        TLOG_INFO(QStringLiteral("Security bookmarks startup/initialisation completed") +
                  logTag("SecurityBookmarks.execute()"));
    });
}

void CoreDataStack::execute() {
    EnginePool::runMedium([] {
        const int count = Engine::openFolderStore();
        const QString context =
            QStringLiteral("<folder store context: ") + trevalin::CoreDataStack::shared().storePath() + u'>';
        TLOG_INFO(QStringLiteral("Core Data stack initialised, contains [ %1 ] records: ").arg(count) +
                  context + logTag("CoreDataStack.execute()"));
    });
}

void DatabaseStartup::execute() {
    EnginePool::runMedium([] {
        Engine::loadContent();
        TLOG_INFO(QStringLiteral("Content database startup/initialisation completed") +
                  logTag("DatabaseStartup.execute()"));
    });
}

void StatusBar::execute() {
    QPointer<StartupHost> host(&m_host);
    EnginePool::runLow([host] {
        StartupHost* target = host.data();
        if (!target)
            return;
        QMetaObject::invokeMethod(
            target,
            [host] {
                if (!host)
                    return;
                host->createStatusBar();
                TLOG_INFO(QStringLiteral("Created the status bar application interface") +
                          logTag("StatusBar.execute()"));
            },
            Qt::QueuedConnection);
    });
}

void Notifications::execute() {
    if (!Debugging::flag())
        return;
    // The receiver is a QObject of the GUI thread, where the bus delivers its signals.
    m_host.registerReceiver();
    TLOG_DEBUG(QStringLiteral("Debug feature only; listening for external application notifications/event") +
               logTag("Notifications.execute()"));
}

} // namespace startup
} // namespace trevalin
