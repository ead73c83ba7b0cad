// FolderListModel: the folders of the folder store as a list sorted by name (ascending;
// folders of the same name by path), for the main window's folder list. It follows the
// store's batched change reports (CoreDataStack::foldersChanged): a removed folder
// removes its row, an added one is inserted in its sorted place, a changed one repaints
// its row (or moves, when its name changed).
//
// Thread-safety: lives on the GUI thread and is used there only. The store reports from
// its own thread; the connection is queued.
#pragma once

#include "store/Folder.h"
#include "store/RecordChanges.h"

#include <QAbstractListModel>
#include <QList>

namespace trevalin {

class CoreDataStack;

class FolderListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role { FolderRole = Qt::UserRole + 1 };

    // Reads the store's folders now and follows its changes from then on; the store must
    // outlive the model.
    explicit FolderListModel(CoreDataStack& store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    // DisplayRole: the folder's name; ToolTipRole: its path; FolderRole: the Folder.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    Folder folder(int row) const { return m_rows.at(row); }
    void apply(const RecordChanges& changes);

private:
    int rowOf(const QString& path) const;
    void insertSorted(const Folder& folder);
    void removeRow(int row);

    CoreDataStack& m_store;
    QList<Folder> m_rows; // sorted by name, then path
};

} // namespace trevalin
