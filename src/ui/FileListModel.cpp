#include "ui/FileListModel.h"

#include "store/Database.h"

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
    const FileObjectPtr& file = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return file->name();
    case Qt::ToolTipRole:
        return file->directory();
    case RecordRole:
        return QVariant::fromValue(file);
    default:
        return {};
    }
}

FileObjectPtr FileListModel::record(int row) const {
    return row >= 0 && row < m_rows.size() ? m_rows.at(row) : nullptr;
}

void FileListModel::reload() {
    m_rows = m_database.values();
    m_rowOf.clear();
    m_rowOf.reserve(m_rows.size());
    reindexFrom(0);
}

void FileListModel::reindexFrom(int row) {
    for (int i = row; i < m_rows.size(); ++i)
        m_rowOf.insert(m_rows.at(i)->location(), i);
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
            m_rowOf.remove(m_rows.at(row)->location());
        m_rows.remove(first, last - first + 1);
        endRemoveRows();
        end = start;
    }
    if (!removed.isEmpty())
        reindexFrom(removed.front());

    // Appended records, in the database's order; one found meanwhile removed again is
    // left out (the next batch reports it).
    QList<FileObjectPtr> appended;
    appended.reserve(changes.inserted.size());
    for (const FileObjectPtr& file : m_database.records(changes.inserted)) {
        if (file && !m_rowOf.contains(file->location()))
            appended.append(file);
    }
    if (!appended.isEmpty()) {
        const int first = int(m_rows.size());
        beginInsertRows({}, first, first + int(appended.size()) - 1);
        m_rows.append(appended);
        reindexFrom(first);
        endInsertRows();
    }

    // Changed records: a record replaced in place is a new object under the same key.
    int top = int(m_rows.size());
    int bottom = -1;
    const QList<FileObjectPtr> changed = m_database.records(changes.changed);
    for (qsizetype i = 0; i < changed.size(); ++i) {
        const auto found = m_rowOf.constFind(changes.changed.at(i));
        if (found == m_rowOf.constEnd())
            continue;
        if (changed.at(i))
            m_rows[*found] = changed.at(i);
        top = std::min(top, *found);
        bottom = std::max(bottom, *found);
    }
    if (bottom >= 0)
        emit dataChanged(index(top), index(bottom));
}

} // namespace trevalin
