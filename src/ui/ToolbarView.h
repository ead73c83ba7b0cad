// ToolbarView: the main window's bottom bar — a divider, then "Add Files/Folders"
// (Ctrl+A) on the left and "Preferences" (Ctrl+P) on the right, each with its icon
// from the desktop's icon theme or, when the theme has none, the bundled one. The
// shortcuts work anywhere in the window while the bar is shown.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QWidget>

class QAction;
class QToolButton;

namespace trevalin {

class ToolbarView : public QWidget {
    Q_OBJECT

public:
    explicit ToolbarView(QWidget* parent = nullptr);

    QAction* addAction() const { return m_add; }
    QAction* preferencesAction() const { return m_preferences; }

private:
    QAction* m_add;
    QAction* m_preferences;
};

} // namespace trevalin
