#include "ui/SectionRowModel.h"

namespace trevalin {

SectionRowModel::SectionRowModel(RowKind kind, const QString& noun, QObject* parent)
    : QAbstractListModel(parent)
    , m_kind(kind)
    , m_noun(noun) {}

SectionRowModel* SectionRowModel::divider(QObject* parent) {
    return new SectionRowModel(RowKind::Divider, QString(), parent);
}

SectionRowModel* SectionRowModel::header(const QString& noun, QObject* parent) {
    return new SectionRowModel(RowKind::Header, noun, parent);
}

void SectionRowModel::setCount(qsizetype count) {
    const bool was = isShown();
    const bool now = count > 0;
    if (was && !now)
        beginRemoveRows({}, 0, 0);
    else if (!was && now)
        beginInsertRows({}, 0, 0);
    m_count = count;
    if (was && !now)
        endRemoveRows();
    else if (!was && now)
        endInsertRows();
    else if (now && m_kind == RowKind::Header)
        emit dataChanged(index(0), index(0));
}

void SectionRowModel::setTrailingText(const QString& text) {
    if (text == m_trailing)
        return;
    m_trailing = text;
    if (isShown())
        emit dataChanged(index(0), index(0));
}

QString SectionRowModel::text() const {
    if (m_kind != RowKind::Header || m_count == 0)
        return {};
    return m_count == 1 ? m_noun : QString::number(m_count) + QLatin1Char(' ') + m_noun;
}

int SectionRowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !isShown() ? 0 : 1;
}

QVariant SectionRowModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return text();
    case roles::TrailingText:
        return m_trailing;
    case roles::Kind:
        return int(m_kind);
    default:
        return {};
    }
}

Qt::ItemFlags SectionRowModel::flags(const QModelIndex&) const {
    // Read, never chosen: the arrow keys pass over it.
    return Qt::NoItemFlags;
}

} // namespace trevalin
