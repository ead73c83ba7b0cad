// SectionRowModel: a section's single extra row of the main window's list — its
// header ("Files", or "12 Files" with the total size on the right) or the divider
// after the folders — present only while shown. Showing and hiding insert and
// remove the row, so the list around it keeps its rows.
//
// Thread-safety: GUI thread only.
#pragma once

#include "ui/ContentRoles.h"

#include <QAbstractListModel>
#include <QString>

namespace trevalin {

class SectionRowModel : public QAbstractListModel {
    Q_OBJECT

public:
    // A divider row, or a header counting `noun` ("Folders": "Folders" for one, "3
    // Folders" for three; no row for none).
    static SectionRowModel* divider(QObject* parent);
    static SectionRowModel* header(const QString& noun, QObject* parent);

    // The header's count; a divider is shown while the count is not zero.
    void setCount(qsizetype count);
    void setTrailingText(const QString& text);
    bool isShown() const { return m_count > 0; }
    QString text() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    SectionRowModel(RowKind kind, const QString& noun, QObject* parent);

    const RowKind m_kind;
    const QString m_noun;
    qsizetype m_count = 0;
    QString m_trailing;
};

} // namespace trevalin
