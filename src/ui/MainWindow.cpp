#include "ui/MainWindow.h"

#include "ui/ProgressBarView.h"

#include <QCloseEvent>
#include <QVBoxLayout>

namespace trevalin {

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Trevalin"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/Trevalin.svg")));
    setObjectName(QStringLiteral("MainWindow"));
    // The status area along the top; the folder and file lists come below it.
    auto* content = new QWidget(this);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new ProgressBarView(Progress::shared(), content));
    layout->addStretch(1);
    setCentralWidget(content);
    setMinimumSize(420, 320);
    resize(420, 400);
}

void MainWindow::bringForward() {
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
