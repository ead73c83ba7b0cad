#include "ui/FolderMenu.h"

#include "ui/FolderActions.h"
#include "ui/ThemeIcon.h"
#include "ui/TintedMenu.h"

#include <QAction>

namespace trevalin {

namespace {

QAction* addItem(TintedMenu* menu, const char* name, const QIcon& icon, const QString& title,
                 const QColor& tint) {
    QAction* action = menu->addAction(icon, title);
    action->setObjectName(QLatin1String(name));
    TintedMenu::setTint(action, tint);
    return action;
}

} // namespace

TintedMenu* makeFolderMenu(const Folder& folder, ApplicationState state, QWidget* parent) {
    auto* menu = new TintedMenu(parent);
    const QIcon warning = themeIcon(QStringLiteral("dialog-warning"), QStringLiteral(":/icons/warning.svg"));
    if (folder.monitored) {
        QAction* disable = addItem(menu, folderMenu::kDisableMonitoring, warning,
                                   QStringLiteral("Disable folder content monitoring"), tints::yellow());
        QObject::connect(disable, &QAction::triggered, menu,
                         [folder] { FolderActions::disableMonitoring(folder, FolderActions::Save::Async); });
    } else {
        QAction* enable = addItem(menu, folderMenu::kEnableMonitoring, warning,
                                  QStringLiteral("Enable folder content monitoring"), tints::green());
        QObject::connect(enable, &QAction::triggered, menu,
                         [folder] { FolderActions::enableMonitoring(folder); });
    }
    // Removing a folder while the engine works on it would race with that work.
    if (state == ApplicationState::Idle) {
        QAction* remove =
            addItem(menu, folderMenu::kRemove,
                    themeIcon(QStringLiteral("user-trash"), QStringLiteral(":/icons/trash.svg")),
                    QStringLiteral("Remove folder and associated files"), tints::red());
        QObject::connect(remove, &QAction::triggered, menu, [folder] { FolderActions::remove(folder); });
    }
    return menu;
}

} // namespace trevalin
