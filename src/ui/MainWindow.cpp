#include "ui/MainWindow.h"

#include "engine/Progress.h"
#include "store/CoreDataStack.h"
#include "store/Database.h"

#include <QAction>
#include <QCloseEvent>

namespace trevalin {

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_view(new MainView(Database::shared(), CoreDataStack::shared(), Progress::shared(), this)) {
    setWindowTitle(QStringLiteral("Trevalin"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/Trevalin.svg")));
    setObjectName(QStringLiteral("MainWindow"));
    setCentralWidget(m_view);
    connect(m_view, &MainView::preferencesRequested, this, &MainWindow::preferencesRequested);
    auto* preferences = new QAction(QStringLiteral("Preferences"), this);
    preferences->setObjectName(QStringLiteral("preferencesAction"));
    preferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    preferences->setShortcutContext(Qt::WindowShortcut);
    connect(preferences, &QAction::triggered, this, &MainWindow::preferencesRequested);
    addAction(preferences);
    connect(m_view, &MainView::bodyChanged, this, &MainWindow::fitBody);
    setMinimumSize(kMinimumSize);
    resize(kInitialSize);
    fitBody(m_view->body());
}

void MainWindow::fitBody(MainView::Body body) {
    if (body == MainView::Body::Splash) {
        const QSize splash = m_view->splashScreen()->sizeHint();
        setMinimumSize(splash);
        resize(splash);
    } else if (body == MainView::Body::Main) {
        const bool fromSplash = minimumSize() != kMinimumSize;
        setMinimumSize(kMinimumSize);
        if (fromSplash)
            resize(kInitialSize);
    }
}

void MainWindow::bringForward() {
    m_view->refresh();
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

} // namespace trevalin
