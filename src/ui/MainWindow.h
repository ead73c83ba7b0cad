// MainWindow: the program's one main window (the database viewer). Closing it only
// hides it while the program lives in the tray; without a tray closing it quits.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QMainWindow>

namespace trevalin {

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);

    // Shows the window, raises it above the others and gives it the focus.
    void bringForward();

signals:
    // The user closed the window (it is now hidden).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
};

} // namespace trevalin
