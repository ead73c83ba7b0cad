// ContentDelegate: draws the rows of the main window's list by their kind
// (roles::Kind): a section header in bold secondary text with its trailing text on the
// right, the divider after the folders as a hairline, a folder (green with an eye on
// the right while monitored), a file in the colour of its state, and the tutorial's
// hints as plain wrapped text that is never highlighted. Every row but the hints has
// the same height, so the list lays out any number of them without measuring each.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QStyledItemDelegate>

namespace trevalin {

class ContentDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Where a monitored folder row draws its eye.
    static QRect eyeRect(const QRect& row);
    // The height of every row but the hints, for the list's font.
    static int rowHeight(const QFont& font);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace trevalin
