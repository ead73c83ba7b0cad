// TrevalinApp: the application scene — the one main window, the preferences window,
// the tray item once start-up has made it, and the routing of the program's own URL
// "Trevalin://MainView", which brings the main window forward. Creating it wires the
// engine (Engine::start with persistence and monitoring), applies "hideFileBrowser"
// (the main window then starts hidden) and queues the start-up sequence, which runs
// as soon as the event loop does.
//
// With a system tray, closing the main window only hides it and the program lives
// on in the tray; without one the main window is always shown at start and closing
// it quits.
//
// Thread-safety: a QObject of the GUI thread; every function is called there.
#pragma once

#include "app/StartupHost.h"

#include <QPointer>
#include <QUrl>

#include <memory>

namespace trevalin {

class AboutDialog;
class MainWindow;
class PreferencesWindow;
class Receiver;
class StatusBarController;

class TrevalinApp : public StartupHost {
    Q_OBJECT

public:
    // How long quitting waits for running engine work before it saves and ends anyway.
    static constexpr int kQuitWaitMs = 3000;

    // `trayAvailable`: whether a system tray can show the tray item.
    explicit TrevalinApp(bool trayAvailable, QObject* parent = nullptr);
    ~TrevalinApp() override;

    // Routes one of the program's URLs: "Trevalin://MainView" (scheme and host in any
    // case) brings the main window forward; other URLs are logged and ignored.
    void openUrl(const QUrl& url);
    static bool isMainViewUrl(const QUrl& url);

    MainWindow& mainWindow() { return *m_mainWindow; }
    // Null until the start-up step StatusBar has run.
    StatusBarController* statusBarController() const { return m_statusBar.get(); }
    Receiver* receiver() const { return m_receiver.get(); }
    bool trayAvailable() const { return m_trayAvailable; }

    // Null until the preferences are first shown.
    PreferencesWindow* preferences() const { return m_preferences.get(); }
    // Shows the preferences window (made on first use, then the same one), whose full-path
    // switches refresh the main window's lists and whose "Clear and Quit" ends in quit().
    void showPreferences();
    void showAbout();
    // Ends the event loop; the program then shuts down (shutdown()).
    void quit();
    // After the event loop: stops monitoring, waits up to kQuitWaitMs for engine work,
    // writes what is flagged as modified and flushes the log. Returns whether the engine
    // was idle; when it was not, the caller ends the process without running static
    // destructors under the feet of the threads still working.
    bool shutdown();

    // StartupHost
    void createStatusBar() override;
    void registerReceiver() override;
    std::shared_ptr<TaglineSource> taglines() override;

signals:
    // The tray item exists and is shown.
    void statusBarCreated();

private:
    const bool m_trayAvailable;
    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<PreferencesWindow> m_preferences;
    QPointer<AboutDialog> m_about;
    std::unique_ptr<StatusBarController> m_statusBar;
    std::unique_ptr<Receiver> m_receiver;
};

} // namespace trevalin
