// PreferencesWindow: the preferences window, one per program, shown from the tray
// menu and brought forward when asked again.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QWidget>

namespace trevalin {

class PreferencesWindow : public QWidget {
    Q_OBJECT

public:
    explicit PreferencesWindow(QWidget* parent = nullptr);
    void bringForward();
};

} // namespace trevalin
