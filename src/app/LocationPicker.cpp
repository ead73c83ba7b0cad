#include "app/LocationPicker.h"

#include "app/MultiLocationDialog.h"
#include "logging/Logger.h"
#include "store/Debugging.h"

namespace trevalin {

namespace {

QString text(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

void FileDialogLocationPicker::pick(const Options& options, Answer answer) {
    auto* dialog = new MultiLocationDialog(options.canChooseFiles, options.canChooseDirectories,
                                           options.allowsMultipleSelection);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, answer](int result) {
        if (result != QDialog::Accepted || dialog->chosenPaths().isEmpty()) {
            answer(std::nullopt);
            return;
        }
        QList<Location> locations;
        for (const QString& path : dialog->chosenPaths())
            locations.append(Location(path));
        answer(locations);
    });
    dialog->open();
}

void chooseLocations(LocationPicker& picker, std::optional<bool> canChooseFiles,
                     std::optional<bool> canChooseDirectories, std::optional<bool> allowsMultipleSelection,
                     LocationPicker::Answer answer) {
    const LocationPicker::Options options{canChooseFiles.value_or(true), canChooseDirectories.value_or(true),
                                          allowsMultipleSelection.value_or(true)};
    if (Debugging::flag()) {
        TLOG_DEBUG(QStringLiteral("Parameters to function call described below [ chooseLocations ]"));
        TLOG_DEBUG(QStringLiteral("canChooseFiles: [ ") + text(options.canChooseFiles) +
                   QStringLiteral(" ] canChooseDirectories: [ ") + text(options.canChooseDirectories) +
                   QStringLiteral(" ] allowsMultipleSelection: [ ") + text(options.allowsMultipleSelection) +
                   QStringLiteral(" ]"));
    }
    picker.pick(options, [answer = std::move(answer)](const std::optional<QList<Location>>& locations) {
        if (!locations)
            return answer(std::nullopt);
        if (Debugging::flag()) {
            TLOG_DEBUG(QStringLiteral("User explicitly added location(s):"));
            for (const Location& location : *locations)
                TLOG_DEBUG(location.path());
        }
        answer(locations);
    });
}

} // namespace trevalin
