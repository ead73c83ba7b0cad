#include "app/ExportLocationPicker.h"

#include <QFileDialog>

namespace trevalin {

void FileDialogPicker::pick(Answer answer) {
    auto* dialog = new QFileDialog(nullptr, QStringLiteral("Export Database as CSV File"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Qt's own dialog: the platform's may drop the label or the type filter.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setLabelText(QFileDialog::FileName, QStringLiteral("Filename"));
    dialog->setNameFilter(QStringLiteral("CSV file (*.csv)"));
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->selectFile(QStringLiteral("database"));
    // Exactly one answer, whichever way the dialog ends.
    auto answered = std::make_shared<bool>(false);
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, answer, answered](int result) {
        if (*answered)
            return;
        *answered = true;
        const QStringList files = dialog->selectedFiles();
        if (result == QDialog::Accepted && !files.isEmpty() && !files.first().isEmpty())
            answer(files.first());
        else
            answer(std::nullopt);
    });
    dialog->open();
}

} // namespace trevalin
