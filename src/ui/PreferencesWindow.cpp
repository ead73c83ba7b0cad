#include "ui/PreferencesWindow.h"

#include <QVBoxLayout>

namespace trevalin {

PreferencesWindow::PreferencesWindow(QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Preferences"));
    setObjectName(QStringLiteral("PreferencesWindow"));
    setLayout(new QVBoxLayout);
    resize(480, 320);
}

void PreferencesWindow::bringForward() {
    show();
    raise();
    activateWindow();
}

} // namespace trevalin
