// makeFileMenu(): the context menu of one file row of the main window's list — one
// item per checksum of the record (choosing one copies its value), a separator,
// "Rescan/checksum file", and "Remove file from database" when FileActions::canRemove()
// allows it.
//
// Thread-safety: GUI thread only.
#pragma once

#include "engine/ApplicationState.h"
#include "model/FileObject.h"

class QWidget;

namespace trevalin {

class TintedMenu;

// The menu for `file` while the application is in `state`, with `parent` as its
// parent; null for a null record or one that is neither Processed nor Zombie (a
// record still in work has nothing to offer). The caller pops it up and deletes it
// when it closes. The remove item consults the shared folder store.
TintedMenu* makeFileMenu(const FileObjectPtr& file, ApplicationState state, QWidget* parent);

} // namespace trevalin
