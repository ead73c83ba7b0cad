#include "ui/TutorialModel.h"

#include "ui/ContentRoles.h"
#include "ui/Typography.h"

#include <QApplication>

namespace trevalin {

QStringList TutorialModel::lines() {
    return {
        QStringLiteral("•  Use the button at the bottom of this window to add/process content"),
        QStringLiteral("•  You can also drag and drop content onto this window to process it"),
        QStringLiteral("•  Right-click filenames to view/display calculated checksum values"),
        QStringLiteral("•  Selecting a displayed checksum value copies it to the clipboard"),
        QStringLiteral("•  More than one checksum algorithm can be active at a given time"),
        QStringLiteral("•  The menu bar icon can be used to export the database to a CSV file"),
        QStringLiteral("•  Adding a folder location will process all the files it contains"),
        QStringLiteral("•  Folder content is only processed a single level down, not recursively"),
        QStringLiteral("•  An option exists to enable dynamic folder content monitoring"),
        QStringLiteral("•  This will automatically track files as they are created/deleted"),
    };
}

TutorialModel::TutorialModel(QObject* parent)
    : QAbstractListModel(parent)
    , m_lines(lines()) {}

void TutorialModel::setShown(bool shown) {
    if (shown == m_shown)
        return;
    if (shown) {
        beginInsertRows({}, 0, int(m_lines.size()) - 1);
        m_shown = true;
        endInsertRows();
    } else {
        beginRemoveRows({}, 0, int(m_lines.size()) - 1);
        m_shown = false;
        endRemoveRows();
    }
}

int TutorialModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_shown ? 0 : int(m_lines.size());
}

QVariant TutorialModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_lines.at(index.row());
    case Qt::FontRole:
        return smallFont();
    case Qt::ForegroundRole:
        return secondaryTextColor(QApplication::palette());
    case roles::Kind:
        return int(RowKind::Tutorial);
    default:
        return {};
    }
}

Qt::ItemFlags TutorialModel::flags(const QModelIndex&) const {
    // Read, never chosen: the arrow keys pass over it.
    return Qt::NoItemFlags;
}

} // namespace trevalin
