// PreferencesWindow: the preferences window, one per program, shown from the toolbar,
// the tray menu and Ctrl+, and brought forward when asked again. Four tabs: "General",
// "Crypto", "Advanced" and "About", each its own view. Every time the window is shown
// it rereads the stored algorithm selection, so a change made meanwhile by another
// process (trevalinctl) shows and is not overwritten by the switches.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QWidget>

#include <functional>

class QTabWidget;

namespace trevalin {

class AboutPreferencesView;
class AdvancedPreferencesView;
class CryptoPreferencesView;
class GeneralPreferencesView;

class PreferencesWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMargin = 20;
    static constexpr QSize kTabsSize{485, 220};
    static constexpr QSize kContentSize{460, 100};

    // `quit` ends the program after "Clear and Quit" (may be empty).
    explicit PreferencesWindow(std::function<void()> quit = {}, QWidget* parent = nullptr);

    void bringForward();

    QTabWidget& tabs() const { return *m_tabs; }
    GeneralPreferencesView& general() const { return *m_general; }
    CryptoPreferencesView& crypto() const { return *m_crypto; }
    AdvancedPreferencesView& advanced() const { return *m_advanced; }
    AboutPreferencesView& about() const { return *m_about; }

signals:
    // A full-path setting changed: the main window's lists show their paths anew.
    void displayPathsChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void addTab(QWidget* content, const QIcon& icon, const QString& title);

    QTabWidget* m_tabs;
    GeneralPreferencesView* m_general;
    CryptoPreferencesView* m_crypto;
    AdvancedPreferencesView* m_advanced;
    AboutPreferencesView* m_about;
};

} // namespace trevalin
