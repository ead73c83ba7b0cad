// MainView: the content of the main window, one of three bodies chosen by two settings:
// nothing while "windowVisible" is off; the first-run splash screen while
// "splashScreen" is on (nothing can be dropped on it); otherwise the main layout
// (MainLayoutView). Finishing the splash screen turns "splashScreen" off and the main
// layout takes its place at once. The splash screen is made only when it is shown and
// let go once finished.
//
// Thread-safety: a widget of the GUI thread.
#pragma once

#include <QWidget>

class QStackedLayout;

namespace trevalin {

class CoreDataStack;
class Database;
class MainLayoutView;
class Progress;

class MainView : public QWidget {
    Q_OBJECT

public:
    enum class Body { Hidden, Splash, Main };

    MainView(Database& database, CoreDataStack& folders, Progress& progress, QWidget* parent = nullptr);

    Body body() const { return m_body; }
    MainLayoutView& mainLayout() const { return *m_main; }
    // The splash screen while it is the body, else null.
    QWidget* splashScreen() const { return m_splash; }

    // Reads the two settings again and shows the body they call for.
    void refresh();

signals:
    void bodyChanged(trevalin::MainView::Body body);
    void preferencesRequested();

private:
    void showBody(Body body);

    QStackedLayout* m_stack;
    QWidget* m_empty;
    MainLayoutView* m_main;
    QWidget* m_splash = nullptr;
    Body m_body = Body::Hidden;
};

} // namespace trevalin
