#include "ui/FileListModel.h"

#include "store/Database.h"
#include "ui/ContentRoles.h"
#include "ui/TintedMenu.h"

#include <algorithm>

namespace trevalin {

FileListModel::FileListModel(Database& database, QObject* parent)
    : QAbstractListModel(parent)
    , m_database(database) {
    connect(&database, &Database::recordsChanged, this, &FileListModel::apply, Qt::QueuedConnection);
    reload();
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role == roles::Kind)
        return int(RowKind::File);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::ForegroundRole &&
        role != RecordRole)
        return {};
    const FileObjectPtr file = m_database.record(m_rows.at(index.row()));
    if (!file)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_fullPaths ? file->path() : file->name();
    case Qt::ToolTipRole:
        return hasMenu(file->status()) ? QVariant(file->directory()) : QVariant();
    case Qt::ForegroundRole:
        switch (file->status()) {
        case FileState::Pending:
            return QVariant::fromValue(tints::orange());
        case FileState::Changing:
            return QVariant::fromValue(tints::blue());
        case FileState::Incomplete:
            return QVariant::fromValue(tints::purple());
        case FileState::Processed:
        case FileState::Zombie:
            return {};
        }
        return {};
    case RecordRole:
        return QVariant::fromValue(file);
    default:
        return {};
    }
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

bool FileListModel::hasMenu(FileState status) {
    return status == FileState::Processed || status == FileState::Zombie;
}

void FileListModel::setFullPaths(bool fullPaths) {
    if (fullPaths == m_fullPaths)
        return;
    m_fullPaths = fullPaths;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0), index(int(m_rows.size()) - 1), {Qt::DisplayRole});
}

FileObjectPtr FileListModel::record(int row) const {
    return row >= 0 && row < m_rows.size() ? m_database.record(m_rows.at(row)) : nullptr;
}

void FileListModel::reload() {
    m_rows = m_database.keys();
    m_rowOf.clear();
    m_rowOf.reserve(m_rows.size());
    reindexFrom(0);
}

void FileListModel::reindexFrom(int row) {
    for (int i = row; i < m_rows.size(); ++i)
        m_rowOf.insert(m_rows.at(i), i);
}

void FileListModel::apply(const RecordChanges& changes) {
    if (changes.reset) {
        beginResetModel();
        reload();
        endResetModel();
        return;
    }

    // Removed rows go from the bottom up, a contiguous run at a time.
    QList<int> removed;
    removed.reserve(changes.removed.size());
    for (const Location& location : changes.removed) {
        const auto found = m_rowOf.constFind(location);
        if (found != m_rowOf.constEnd())
            removed.append(*found);
    }
    std::sort(removed.begin(), removed.end());
    for (qsizetype end = removed.size(); end > 0;) {
        qsizetype start = end - 1;
        while (start > 0 && removed.at(start - 1) == removed.at(start) - 1)
            --start;
        const int first = removed.at(start);
        const int last = removed.at(end - 1);
        beginRemoveRows({}, first, last);
        for (int row = first; row <= last; ++row)
            m_rowOf.remove(m_rows.at(row));
        m_rows.remove(first, last - first + 1);
        endRemoveRows();
        end = start;
    }
    if (!removed.isEmpty())
        reindexFrom(removed.front());

    // Appended records, in the database's order.
    QList<Location> appended;
    appended.reserve(changes.inserted.size());
    for (const Location& location : changes.inserted) {
        if (!m_rowOf.contains(location))
            appended.append(location);
    }
    if (!appended.isEmpty()) {
        const int first = int(m_rows.size());
        beginInsertRows({}, first, first + int(appended.size()) - 1);
        m_rows.append(appended);
        reindexFrom(first);
        endInsertRows();
    }

    // Changed records: their rows are shown again (a record replaced in place is read
    // afresh then).
    int top = int(m_rows.size());
    int bottom = -1;
    for (const Location& location : changes.changed) {
        const auto found = m_rowOf.constFind(location);
        if (found == m_rowOf.constEnd())
            continue;
        top = std::min(top, *found);
        bottom = std::max(bottom, *found);
    }
    if (bottom >= 0)
        emit dataChanged(index(top), index(bottom));
}

} // namespace trevalin
