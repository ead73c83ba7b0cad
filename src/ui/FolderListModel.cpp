#include "ui/FolderListModel.h"

#include "store/CoreDataStack.h"
#include "ui/ContentRoles.h"
#include "ui/TintedMenu.h"

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
    if (store.isOpened())
        reload();
}

void FolderListModel::reload() {
    m_rows.clear();
    m_nameless.clear();
    for (const Folder& folder : m_store.folders()) {
        if (folder.name.isEmpty())
            m_nameless.insert(folder.path);
        else
            m_rows.append(folder);
    }
    std::sort(m_rows.begin(), m_rows.end(), before);
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
        return m_fullPaths ? folder.path : folder.name;
    case Qt::ToolTipRole:
        return folder.path;
    case Qt::ForegroundRole:
        return folder.monitored ? QVariant::fromValue(tints::green()) : QVariant();
    case FolderRole:
        return QVariant::fromValue(folder);
    case roles::Kind:
        return int(RowKind::Folder);
    case roles::Monitored:
        return folder.monitored;
    default:
        return {};
    }
}

Qt::ItemFlags FolderListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void FolderListModel::setFullPaths(bool fullPaths) {
    if (fullPaths == m_fullPaths)
        return;
    m_fullPaths = fullPaths;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0), index(int(m_rows.size()) - 1), {Qt::DisplayRole});
}

int FolderListModel::rowOf(const QString& path) const {
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row).path == path)
            return row;
    }
    return -1;
}

void FolderListModel::insertSorted(const Folder& folder) {
    if (folder.name.isEmpty()) {
        m_nameless.insert(folder.path);
        return;
    }
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
        reload();
        endResetModel();
        emit countChanged();
        return;
    }
    for (const Location& location : changes.removed) {
        if (const int row = rowOf(location.path()); row >= 0)
            removeRow(row);
        m_nameless.remove(location.path());
    }
    for (const Location& location : changes.inserted) {
        const std::optional<Folder> folder = m_store.folder(location.path());
        if (folder && rowOf(folder->path) < 0 && !m_nameless.contains(folder->path))
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
    emit countChanged();
}

} // namespace trevalin
