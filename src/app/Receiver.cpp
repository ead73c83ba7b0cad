#include "app/Receiver.h"

#include "engine/DistributedNotifications.h"
#include "engine/EnginePool.h"
#include "engine/Global.h"
#include "engine/Process.h"
#include "logging/Logger.h"
#include "model/DigestState.h"
#include "store/BookmarkDatabase.h"
#include "store/Database.h"

#include <QDBusConnection>

#include <exception>

namespace trevalin {

namespace {

using Notifications = DistributedNotifications;

QDBusConnection bus() {
    return QDBusConnection::sessionBus();
}

void received(const char* handler) {
    TLOG_WARNING(QStringLiteral("Received notification to call: ") + QLatin1String(handler));
}

} // namespace

Receiver::Receiver(std::function<void()> quit, QObject* parent)
    : QObject(parent)
    , m_quit(std::move(quit)) {
    m_listening = bus().connect(QString(), QLatin1String(Notifications::kPath),
                                QLatin1String(Notifications::kInterface),
                                QLatin1String(Notifications::kSignal), this, SLOT(posted(QString, QString)));
}

Receiver::~Receiver() {
    if (m_listening)
        bus().disconnect(QString(), QLatin1String(Notifications::kPath),
                         QLatin1String(Notifications::kInterface), QLatin1String(Notifications::kSignal),
                         this, SLOT(posted(QString, QString)));
}

void Receiver::posted(const QString& name, const QString&) {
    static const struct {
        const char* name;
        void (Receiver::*handler)();
    } kHandlers[] = {
        {Notifications::statusReset, &Receiver::statusReset},
        {Notifications::statusIdle, &Receiver::statusIdle},
        {Notifications::process, &Receiver::process},
        {Notifications::quit, &Receiver::quit},
        {Notifications::saveBookmarks, &Receiver::saveBookmarks},
        {Notifications::saveDatabase, &Receiver::saveDatabase},
        {Notifications::algorithmSelection, &Receiver::algorithmSelection},
    };
    for (const auto& entry : kHandlers) {
        if (name == QLatin1String(entry.name)) {
            (this->*entry.handler)();
            return;
        }
    }
}

void Receiver::algorithmSelection() {
    received("algorithmSelection(_:)");
    EnginePool::runLow([] { DigestState::shared().report(); });
}

void Receiver::statusReset() {
    received("statusReset(_:)");
    EnginePool::runMedium([] { Global::shared().set(ApplicationState::Resetting); });
}

void Receiver::statusIdle() {
    received("statusIdle(_:)");
    EnginePool::runMedium([] { Global::shared().set(ApplicationState::Idle); });
}

void Receiver::process() {
    received("process(_:)");
    EnginePool::runMedium([] { Process::process(); });
}

void Receiver::quit() {
    received("quit(_:)");
    if (m_quit)
        m_quit();
}

void Receiver::saveBookmarks() {
    received("saveBookmarks(_:)");
    EnginePool::runLow([] {
        try {
            BookmarkDatabase::shared().save();
        } catch (...) {
            TLOG_ERROR(QStringLiteral("Unable to save bookmarks after notification prompt"));
        }
    });
}

void Receiver::saveDatabase() {
    received("saveDatabase(_:)");
    EnginePool::runLow([] {
        try {
            Database::shared().save();
        } catch (...) {
            TLOG_ERROR(QStringLiteral("A notification insrtuction to save the database failed"));
        }
    });
}

} // namespace trevalin
