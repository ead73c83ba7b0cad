// makeFolderMenu(): the context menu of one row of the folder list. It offers to
// switch the folder's content monitoring off (yellow) or on (green) and, only while
// the application is idle, to remove the folder with its files (red). Picking an item
// starts the matching FolderActions task and returns at once.
//
// Thread-safety: GUI thread only.
#pragma once

#include "engine/ApplicationState.h"
#include "store/Folder.h"

class QWidget;

namespace trevalin {

class TintedMenu;

// The object names of the menu's actions.
namespace folderMenu {
inline constexpr const char* kDisableMonitoring = "disableMonitoring";
inline constexpr const char* kEnableMonitoring = "enableMonitoring";
inline constexpr const char* kRemove = "removeFolder";
} // namespace folderMenu

// A new menu for `folder` as it is listed, with the items that `state` (the
// application's state when the menu is built) allows. The caller owns the menu: it
// pops it up and deletes it once it has closed.
TintedMenu* makeFolderMenu(const Folder& folder, ApplicationState state, QWidget* parent);

} // namespace trevalin
