#include "ui/FileMenu.h"

#include "store/CoreDataStack.h"
#include "ui/ChecksumMenuItem.h"
#include "ui/FileActions.h"
#include "ui/ThemeIcon.h"
#include "ui/TintedMenu.h"

#include <QAction>

namespace trevalin {

TintedMenu* makeFileMenu(const FileObjectPtr& file, ApplicationState state, QWidget* parent) {
    if (!file)
        return nullptr;
    const FileState status = file->status();
    if (status != FileState::Processed && status != FileState::Zombie)
        return nullptr;

    auto* menu = new TintedMenu(parent);
    // The menu takes the width of its widest item: a SHA512 shows all its 128 digits.
    for (const Checksum& checksum : file->checksums())
        menu->addAction(new ChecksumMenuItem(checksum, menu));
    menu->addSeparator();

    const Location location = file->location();
    QAction* rescan =
        menu->addAction(themeIcon(QStringLiteral("view-refresh"), QStringLiteral(":/icons/rescan.svg")),
                        QStringLiteral("Rescan/checksum file"));
    TintedMenu::setTint(rescan, tints::yellow());
    QObject::connect(rescan, &QAction::triggered, menu, [location] { FileActions::rescanFile(location); });

    if (FileActions::canRemove(*file, state, CoreDataStack::shared())) {
        QAction* remove =
            menu->addAction(themeIcon(QStringLiteral("user-trash"), QStringLiteral(":/icons/trash.svg")),
                            QStringLiteral("Remove file from database"));
        QObject::connect(remove, &QAction::triggered, menu,
                         [location] { FileActions::removeRecord(location); });
    }
    return menu;
}

} // namespace trevalin
