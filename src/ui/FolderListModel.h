// FolderListModel: the folders of the folder store as a list sorted by name (ascending;
// folders of the same name by path), for the main window's folder list. It follows the
// store's batched change reports (CoreDataStack::foldersChanged): a removed folder
// removes its row, an added one is inserted in its sorted place, a changed one repaints
// its row (or moves, when its name changed). A folder without a name (the root folder)
// has no row but counts in folderCount().
//
// Rows show the folder's name, or its path with full paths on; a monitored folder's
// text is green and the row says so (roles::Monitored), for the eye the list draws.
//
// Thread-safety: lives on the GUI thread and is used there only. The store reports from
// its own thread; the connection is queued.
#pragma once

#include "store/Folder.h"
#include "store/RecordChanges.h"

#include <QAbstractListModel>
#include <QList>
#include <QSet>

namespace trevalin {

class CoreDataStack;

class FolderListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role { FolderRole = Qt::UserRole + 1 };

    // Reads the store's folders now (when it is open) and follows its changes from then
    // on; the store must outlive the model.
    explicit FolderListModel(CoreDataStack& store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    // DisplayRole: the name (the path with full paths on); ToolTipRole: the path;
    // ForegroundRole: green while monitored; FolderRole: the Folder; roles::Kind,
    // roles::Monitored.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    Folder folder(int row) const { return m_rows.at(row); }
    // Every folder of the store, those without a name included.
    qsizetype folderCount() const { return m_rows.size() + m_nameless.size(); }
    void setFullPaths(bool fullPaths);
    void apply(const RecordChanges& changes);

signals:
    // folderCount() may have changed.
    void countChanged();

private:
    void reload();
    int rowOf(const QString& path) const;
    void insertSorted(const Folder& folder);
    void removeRow(int row);

    CoreDataStack& m_store;
    QList<Folder> m_rows;     // named folders, sorted by name, then path
    QSet<QString> m_nameless; // paths of the folders without a name
    bool m_fullPaths = false;
};

} // namespace trevalin
