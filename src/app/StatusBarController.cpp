#include "app/StatusBarController.h"

#include "app/StatusBarAnimator.h"
#include "engine/EnginePool.h"
#include "engine/Timing.h"
#include "logging/LogTag.h"
#include "logging/Logger.h"
#include "model/Location.h"
#include "store/AppSettings.h"
#include "store/CsvExport.h"
#include "store/Database.h"
#include "store/ExportFile.h"

#include <QAction>
#include <QKeySequence>

namespace trevalin {

StatusBarController::StatusBarController(Routes routes, QObject* parent)
    : QObject(parent)
    , m_routes(std::move(routes))
    , m_standardIcon(QStringLiteral(":/icons/StatusBarIcon.svg"))
    , m_exclamationIcon(QStringLiteral(":/icons/StatusBarExclamation.svg"))
    , m_animator(std::make_shared<StatusBarAnimator>(this))
    , m_picker(std::make_unique<FileDialogPicker>()) {
    setIcon(kStandard);
    m_statusItem.setToolTip(QStringLiteral("Trevalin"));

    auto add = [this](const QString& title, char key, void (StatusBarController::*action)()) {
        QAction* item = m_menu.addAction(title, this, action);
        item->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_A + (key - 'a'))));
        item->setShortcutVisibleInContextMenu(true);
        return item;
    };
    add(QStringLiteral("About Trevalin"), 'a', &StatusBarController::about);
    m_menu.addSeparator();
    add(QStringLiteral("Export Database"), 'e', &StatusBarController::exportDatabase);
    m_menu.addSeparator();
    add(QStringLiteral("Database Viewer"), 'n', &StatusBarController::mainView);
    add(QStringLiteral("Preferences"), 'p', &StatusBarController::preferences);
    m_menu.addSeparator();
    QAction* quit = m_menu.addAction(QStringLiteral("Quit"), this, [this] {
        if (m_routes.quit)
            m_routes.quit();
    });
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutVisibleInContextMenu(true);

    m_statusItem.setContextMenu(&m_menu);
    // A plain click on the icon opens the menu as well, as on a menu bar.
    connect(&m_statusItem, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    m_menu.popup(QCursor::pos());
            });
    m_statusItem.show();
}

StatusBarController::~StatusBarController() {
    m_statusItem.setContextMenu(nullptr);
}

void StatusBarController::setIcon(const char* name) {
    m_displayedIcon = QLatin1String(name);
    m_statusItem.setIcon(m_displayedIcon == QLatin1String(kExclamation) ? m_exclamationIcon : m_standardIcon);
}

void StatusBarController::about() {
    if (m_routes.about)
        m_routes.about();
}

void StatusBarController::exportDatabase() {
    const Database& database = Database::shared();
    if (database.isEmpty())
        return;
    saveFile(CsvExport::text(database.values()));
}

void StatusBarController::saveFile(const QString& data) {
    m_picker->pick([data](const std::optional<QString>& path) {
        if (!path) {
            TLOG_DEBUG(QStringLiteral("User aborted operation, did not choose save file location") +
                       logTag("StatusBarController.saveFile(data:)"));
            return;
        }
        // Off the GUI thread: a FIFO target blocks until someone reads it.
        EnginePool::runLow([target = *path, bytes = data.toUtf8()] {
            try {
                ExportFile::write(target, bytes);
            } catch (...) {
                TLOG_ERROR(QStringLiteral("Unable to export database file to location: ") +
                           Location(target).urlText());
            }
        });
    });
}

void StatusBarController::mainView() {
    AppSettings::shared().setWindowVisible(true);
    if (m_routes.openUrl)
        m_routes.openUrl(QUrl(QLatin1String(kMainViewUrl)));
}

void StatusBarController::preferences() {
    if (AppSettings::shared().splashScreen())
        return;
    if (m_routes.showPreferences)
        m_routes.showPreferences();
}

void StatusBarController::setPicker(std::unique_ptr<ExportLocationPicker> picker) {
    m_picker = std::move(picker);
}

void StatusBarController::startBlinking() {
    if (m_blinking)
        return; // the running loop carries on
    m_blinking = true;
    blinkStep();
}

void StatusBarController::blinkStep() {
    setIcon(m_displayedIcon == QLatin1String(kExclamation) ? kStandard : kExclamation);
    if (m_animator->running()) {
        QTimer::singleShot(Timing::blinkInterval(), this, &StatusBarController::blinkStep);
        return;
    }
    setIcon(kStandard);
    m_blinking = false;
    emit blinkingStopped();
}

} // namespace trevalin
