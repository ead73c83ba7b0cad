#include "app/MultiLocationDialog.h"

#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

#include <algorithm>

namespace trevalin {

namespace {

const QString kAcceptLabel = QStringLiteral("Select");

} // namespace

MultiLocationDialog::MultiLocationDialog(bool canChooseFiles, bool canChooseDirectories,
                                         bool allowsMultipleSelection, QWidget* parent)
    : QFileDialog(parent, QStringLiteral("Select files/folders"))
    , m_files(canChooseFiles)
    , m_directories(canChooseDirectories)
    , m_multiple(allowsMultipleSelection) {
    setObjectName(QStringLiteral("MultiLocationDialog"));
    // Qt's own dialog: its views can be asked for a selection that holds folders.
    setOption(QFileDialog::DontUseNativeDialog);
    setLabelText(QFileDialog::Accept, kAcceptLabel);
    if (m_files || !m_directories) {
        setFileMode(m_multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    } else {
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly);
    }
    if (auto* list = findChild<QListView*>(QStringLiteral("listView")))
        list->setSelectionMode(m_multiple ? QAbstractItemView::ExtendedSelection
                                          : QAbstractItemView::SingleSelection);
    keepAcceptLabel();
}

void MultiLocationDialog::keepAcceptLabel() {
    // The stock dialog relabels its button "Open" while a folder is selected (it would
    // enter it); here a selected folder is chosen, so the button keeps saying so. The
    // label is put back after the dialog's own update, from the event loop.
    auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* list = findChild<QListView*>(QStringLiteral("listView"));
    auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    if (!edit || !list || !buttons || !m_directories)
        return;
    const auto relabel = [buttons] {
        for (QAbstractButton* button : buttons->buttons()) {
            if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole)
                button->setText(kAcceptLabel);
        }
    };
    connect(edit, &QLineEdit::textChanged, this, relabel, Qt::QueuedConnection);
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, relabel,
            Qt::QueuedConnection);
}

QStringList MultiLocationDialog::selectedPaths() const {
    const auto* list = findChild<QListView*>(QStringLiteral("listView"));
    if (!list || !list->selectionModel())
        return {};
    QModelIndexList rows = list->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList paths;
    for (const QModelIndex& row : rows) {
        const QString path = row.data(QFileSystemModel::FilePathRole).toString();
        if (!path.isEmpty() && !paths.contains(path))
            paths.append(path);
    }
    return paths;
}

void MultiLocationDialog::accept() {
    if (!m_files && !m_directories)
        return;
    if (m_directories) {
        QStringList paths = selectedPaths();
        if (!m_files) {
            paths.removeIf([](const QString& path) { return !QFileInfo(path).isDir(); });
        }
        if (!m_multiple && paths.size() > 1)
            paths = paths.mid(0, 1);
        if (!paths.isEmpty()) {
            m_chosen = paths;
            QDialog::accept();
            return;
        }
    }
    // Nothing selected in the views (a name typed, or files only): the stock dialog's
    // way, which may enter a folder instead of choosing.
    m_chosen = selectedFiles();
    QFileDialog::accept();
}

} // namespace trevalin
