#include "ui/MainWindow.h"

#include <QCloseEvent>
#include <QLabel>

namespace trevalin {

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Trevalin"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/Trevalin.svg")));
    setObjectName(QStringLiteral("MainWindow"));
    auto* placeholder = new QLabel(this);
    placeholder->setAlignment(Qt::AlignCenter);
    setCentralWidget(placeholder);
    resize(900, 560);
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
