// StatusBarController: the program's tray item — its icon, which blinks while the
// engine works (StatusBarAnimator), and its menu:
//   About Trevalin (Ctrl+A) · Export Database (Ctrl+E) · Database Viewer (Ctrl+N) ·
//   Preferences (Ctrl+P) · Quit (Ctrl+Q), with separators after About, after Export
//   and before Quit.
// Export Database writes the content database as CSV to a file the user picks; Database
// Viewer brings up the main window; Preferences opens the preferences window unless
// the splash screen is still to be shown; Quit quits the program its normal way.
//
// Thread-safety: a QObject of the GUI thread; every function is called there. Only
// animator() is handed to engine threads (see StatusBarAnimator).
#pragma once

#include "app/ExportLocationPicker.h"

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

namespace trevalin {

class StatusBarAnimator;

class StatusBarController : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kStandard = "Standard";
    static constexpr const char* kExclamation = "Exclamation";
    // The main window's route.
    static constexpr const char* kMainViewUrl = "Trevalin://MainView";

    // What the menu's actions reach outside the tray item.
    struct Routes {
        std::function<void(const QUrl&)> openUrl; // the application's URL routing
        std::function<void()> showPreferences;    // opens the preferences window
        std::function<void()> about;              // shows the About dialog
        std::function<void()> quit;               // the application's quit path
    };

    explicit StatusBarController(Routes routes, QObject* parent = nullptr);
    ~StatusBarController() override;

    QSystemTrayIcon& statusItem() { return m_statusItem; }
    QMenu& menu() { return m_menu; }
    const std::shared_ptr<StatusBarAnimator>& animator() const { return m_animator; }
    // "Standard" or "Exclamation".
    QString displayedIcon() const { return m_displayedIcon; }

    // The menu actions.
    void about();
    // Does nothing for an empty database; otherwise takes the CSV text now and asks
    // where to save it.
    void exportDatabase();
    // Asks for a location and writes `data` there (on an engine task), atomically.
    void saveFile(const QString& data);
    void mainView();
    void preferences();

    // Test seam: where saveFile() asks for the location (default: a save dialog).
    void setPicker(std::unique_ptr<ExportLocationPicker> picker);

public slots:
    // Begins the blink loop unless it runs already (from StatusBarAnimator::start()).
    void startBlinking();

signals:
    // The blink loop ended (on the standard icon).
    void blinkingStopped();

private:
    void blinkStep();
    void setIcon(const char* name);

    Routes m_routes;
    QMenu m_menu;
    QSystemTrayIcon m_statusItem;
    QIcon m_standardIcon;
    QIcon m_exclamationIcon;
    QString m_displayedIcon;
    std::shared_ptr<StatusBarAnimator> m_animator;
    std::unique_ptr<ExportLocationPicker> m_picker;
    bool m_blinking = false; // the loop's next step is scheduled
};

} // namespace trevalin
