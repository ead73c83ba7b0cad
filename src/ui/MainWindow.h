// MainWindow: the program's one main window (the database viewer), holding MainView.
// Closing it only hides it while the program lives in the tray; without a tray
// closing it quits. Its size follows the body it shows: at least 420 x 320 (first
// 420 x 400) for the main layout, the splash screen's own size (400 x 500) for the
// splash screen.
//
// Thread-safety: GUI thread only.
#pragma once

#include "ui/MainView.h"

#include <QMainWindow>

namespace trevalin {

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr QSize kMinimumSize{420, 320};
    static constexpr QSize kInitialSize{420, 400};

    explicit MainWindow(QWidget* parent = nullptr);

    MainView& view() const { return *m_view; }

    // Shows the window with the body the settings call for, raises it above the others
    // and gives it the focus.
    void bringForward();

signals:
    // The user closed the window (it is now hidden).
    void closed();
    // The toolbar's "Preferences", or Ctrl+, in the window.
    void preferencesRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void fitBody(MainView::Body body);

    MainView* m_view;
};

} // namespace trevalin
