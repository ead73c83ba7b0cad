#include "ui/FolderListModel.h"

#include "store/CoreDataStack.h"

#include <algorithm>

namespace trevalin {

namespace {

bool before(const Folder& a, const Folder& b) {
    const int byName = a.name.compare(b.name);
    return byName != 0 ? byName < 0 : a.path < b.path;
}

} // namespace

FolderListModel::FolderListModel(CoreDataStack& store, QObject* parent)
    : QAbstractListModel(parent)
    , m_store(store) {
    connect(&store, &CoreDataStack::foldersChanged, this, &FolderListModel::apply, Qt::QueuedConnection);
    // A store not opened yet is left alone: opening it is a start-up step of its own,
    // and it reports its folders then.
    if (store.isOpened()) {
        m_rows = store.folders();
        std::sort(m_rows.begin(), m_rows.end(), before);
    }
}

int FolderListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant FolderListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Folder& folder = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return folder.name;
    case Qt::ToolTipRole:
        return folder.path;
    case FolderRole:
        return QVariant::fromValue(folder);
    default:
        return {};
    }
}

int FolderListModel::rowOf(const QString& path) const {
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row).path == path)
            return row;
    }
    return -1;
}

void FolderListModel::insertSorted(const Folder& folder) {
    const int row = int(std::upper_bound(m_rows.begin(), m_rows.end(), folder, before) - m_rows.begin());
    beginInsertRows({}, row, row);
    m_rows.insert(row, folder);
    endInsertRows();
}

void FolderListModel::removeRow(int row) {
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    endRemoveRows();
}

void FolderListModel::apply(const RecordChanges& changes) {
    if (changes.reset) {
        beginResetModel();
        m_rows = m_store.folders();
        std::sort(m_rows.begin(), m_rows.end(), before);
        endResetModel();
        return;
    }
    for (const Location& location : changes.removed) {
        if (const int row = rowOf(location.path()); row >= 0)
            removeRow(row);
    }
    for (const Location& location : changes.inserted) {
        const std::optional<Folder> folder = m_store.folder(location.path());
        if (folder && rowOf(folder->path) < 0)
            insertSorted(*folder);
    }
    for (const Location& location : changes.changed) {
        const int row = rowOf(location.path());
        const std::optional<Folder> folder = m_store.folder(location.path());
        if (row < 0 || !folder)
            continue;
        if (folder->name == m_rows.at(row).name) {
            m_rows[row] = *folder;
            emit dataChanged(index(row), index(row));
        } else {
            removeRow(row);
            insertSorted(*folder);
        }
    }
}

} // namespace trevalin
