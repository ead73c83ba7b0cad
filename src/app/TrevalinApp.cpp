#include "app/TrevalinApp.h"

#include "app/AudioActor.h"
#include "app/Receiver.h"
#include "app/StartupCommandsBuilder.h"
#include "app/StatusBarAnimator.h"
#include "app/StatusBarController.h"
#include "app/Timestamp.h"
#include "engine/ChangeTracking.h"
#include "engine/Engine.h"
#include "engine/EnginePool.h"
#include "engine/FlagStore.h"
#include "engine/FolderNotifications.h"
#include "engine/Global.h"
#include "logging/Logger.h"
#include "store/AppSettings.h"
#include "ui/AboutDialog.h"
#include "ui/MainLayoutView.h"
#include "ui/MainWindow.h"
#include "ui/PreferencesWindow.h"
#include "ui/RandomString.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace trevalin {

TrevalinApp::TrevalinApp(bool trayAvailable, QObject* parent)
    : StartupHost(parent)
    , m_trayAvailable(trayAvailable)
    , m_mainWindow(std::make_unique<MainWindow>()) {
    // The engine's wiring comes before anything loads: the start-up steps then run its
    // pieces in their own order and tasks. The flag table is filled here too, before
    // any step: filled from the StateTracking task, it could overwrite a "ready" that a
    // database had already reported, and start-up would never complete.
    Engine::start({.persistence = true, .monitoring = true, .flags = true});
    Global::shared().setAudioPlayer(AudioActor::shared());
    Global::shared().setTaglines(RandomString::shared());
    FlagStore::shared().setStartupTimestamp(&timestamp);

    AppSettings& settings = AppSettings::shared();
    if (settings.hideFileBrowser())
        settings.setWindowVisible(false);
    // Without a tray the main window is the only way in: it is always shown, and shown
    // with its content (an empty window could never be filled from a tray item).
    if (!m_trayAvailable && !settings.windowVisible())
        settings.setWindowVisible(true);
    connect(m_mainWindow.get(), &MainWindow::preferencesRequested, this, &TrevalinApp::showPreferences);
    if (settings.windowVisible())
        m_mainWindow->bringForward();

    QMetaObject::invokeMethod(
        this, [this] { StartupCommandsBuilder(*this).run(); }, Qt::QueuedConnection);
}

TrevalinApp::~TrevalinApp() {
    Global::shared().setAnimator(nullptr);
    Global::shared().setAudioPlayer(nullptr);
    Global::shared().setTaglines(nullptr);
    delete m_about.data();
}

bool TrevalinApp::isMainViewUrl(const QUrl& url) {
    return url.scheme().compare(QLatin1String("trevalin"), Qt::CaseInsensitive) == 0 &&
           url.host().compare(QLatin1String("mainview"), Qt::CaseInsensitive) == 0;
}

void TrevalinApp::openUrl(const QUrl& url) {
    if (!isMainViewUrl(url)) {
        TLOG_WARNING(QStringLiteral("Ignored a request to open an unknown location: ") + url.toString());
        return;
    }
    // Asked for, the window shows its content: an empty window helps nobody.
    AppSettings::shared().setWindowVisible(true);
    m_mainWindow->bringForward();
}

void TrevalinApp::showPreferences() {
    if (!m_preferences) {
        m_preferences = std::make_unique<PreferencesWindow>([this] { quit(); });
        connect(m_preferences.get(), &PreferencesWindow::displayPathsChanged, this,
                [this] { m_mainWindow->view().mainLayout().applySettings(); });
    }
    m_preferences->bringForward();
}

void TrevalinApp::showAbout() {
    if (!m_about) {
        m_about = new AboutDialog;
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void TrevalinApp::quit() {
    QCoreApplication::quit();
}

bool TrevalinApp::shutdown() {
    FolderNotifications::shared().cease();
    ChangeTracking::abandonWatchedFiles();
    const bool idle = EnginePool::waitForDone(kQuitWaitMs);
    // Each file is written whole or not at all, so saving next to a task that is
    // still hashing keeps every file intact; that task's result is what is lost.
    FlagStore::shared().save();
    Logger::flush(2.0);
    return idle;
}

void TrevalinApp::createStatusBar() {
    if (m_statusBar)
        return;
    StatusBarController::Routes routes;
    routes.openUrl = [this](const QUrl& url) { openUrl(url); };
    routes.showPreferences = [this] { showPreferences(); };
    routes.about = [this] { showAbout(); };
    routes.quit = [this] { quit(); };
    m_statusBar = std::make_unique<StatusBarController>(std::move(routes));
    Global::shared().setAnimator(m_statusBar->animator());
    emit statusBarCreated();
}

void TrevalinApp::registerReceiver() {
    if (!m_receiver)
        m_receiver = std::make_unique<Receiver>([this] { quit(); });
}

std::shared_ptr<TaglineSource> TrevalinApp::taglines() {
    return RandomString::shared();
}

} // namespace trevalin
