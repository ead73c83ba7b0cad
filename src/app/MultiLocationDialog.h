// MultiLocationDialog: Qt's own open dialog, made to return files and folders chosen
// together in one pass. The stock dialog either picks files (a folder in the
// selection is entered, not chosen) or picks one folder; here the selection of its
// views is taken as it stands, folders included, when the user presses "Select".
// Double-clicking a folder still opens it.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QFileDialog>
#include <QStringList>

namespace trevalin {

class MultiLocationDialog : public QFileDialog {
    Q_OBJECT

public:
    MultiLocationDialog(bool canChooseFiles, bool canChooseDirectories, bool allowsMultipleSelection,
                        QWidget* parent = nullptr);

    // The absolute paths chosen, in the order of the dialog's list; empty until accepted.
    QStringList chosenPaths() const { return m_chosen; }

    void accept() override;

private:
    // The paths selected in the dialog's views, in the list's order.
    QStringList selectedPaths() const;
    void keepAcceptLabel();

    const bool m_files;
    const bool m_directories;
    const bool m_multiple;
    QStringList m_chosen;
};

} // namespace trevalin
