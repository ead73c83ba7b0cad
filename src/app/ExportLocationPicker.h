// ExportLocationPicker: asks the user where to save the database export. The menu-bar
// item uses FileDialogPicker; tests put a picker that answers at once.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace trevalin {

class ExportLocationPicker {
public:
    // The chosen path, or nothing when the user cancelled.
    using Answer = std::function<void(const std::optional<QString>& path)>;
    virtual ~ExportLocationPicker() = default;
    // Asks without blocking; `answer` is called once, later or at once.
    virtual void pick(Answer answer) = 0;
};

// A save dialog titled "Export Database as CSV File", with the label "Filename", the
// proposed name "database" and the CSV file type, whose ".csv" it appends to a name
// without one. Folders may be created from it.
class FileDialogPicker final : public ExportLocationPicker {
public:
    void pick(Answer answer) override;
};

} // namespace trevalin
