// LocationPicker: asks the user for the files and folders to add. chooseLocations() is
// what the main window's "Add Files/Folders" calls: it logs its parameters and the
// chosen locations (with debugging on) around the picker's dialog. The program uses
// FileDialogLocationPicker; tests put in a picker that answers at once.
//
// Thread-safety: GUI thread only. Pickers never block: the answer comes later, from
// the event loop, or at once.
#pragma once

#include "model/Location.h"

#include <QList>

#include <functional>
#include <optional>

namespace trevalin {

class LocationPicker {
public:
    struct Options {
        bool canChooseFiles = true;
        bool canChooseDirectories = true;
        bool allowsMultipleSelection = true;
    };
    // The chosen locations in the dialog's order, or nothing when the user cancelled.
    using Answer = std::function<void(const std::optional<QList<Location>>& locations)>;

    virtual ~LocationPicker() = default;
    // Asks without blocking; `answer` is called exactly once.
    virtual void pick(const Options& options, Answer answer) = 0;
};

// The open dialog "Select files/folders" (MultiLocationDialog), shown window-modal over
// `parent` (application-modal without one).
class FileDialogLocationPicker final : public LocationPicker {
public:
    void pick(const Options& options, Answer answer) override;
};

// Asks `picker` for locations; an absent option means true. With debugging on it logs
// the options before asking and, once the user chose, "User explicitly added
// location(s):" and one line per location holding its path. A cancelled dialog logs
// nothing more and answers with nothing.
void chooseLocations(LocationPicker& picker, std::optional<bool> canChooseFiles,
                     std::optional<bool> canChooseDirectories, std::optional<bool> allowsMultipleSelection,
                     LocationPicker::Answer answer);

} // namespace trevalin
