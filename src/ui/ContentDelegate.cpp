#include "ui/ContentDelegate.h"

#include "ui/ContentRoles.h"
#include "ui/LinearProgressBar.h"
#include "ui/ThemeIcon.h"
#include "ui/Typography.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QWidget>

namespace trevalin {

namespace {

constexpr int kEyeSize = 16;
constexpr int kInset = 4;

RowKind kindOf(const QModelIndex& index) {
    return RowKind(index.data(roles::Kind).toInt());
}

// Headers and hints cannot be chosen, so the view hands them the disabled colours;
// they are drawn in the list's own colours instead.
QPalette listPalette(const QStyleOptionViewItem& option) {
    return option.widget ? option.widget->palette() : option.palette;
}

const QIcon& eyeIcon() {
    static const QIcon icon = themeIcon(QStringLiteral("view-visible"), QStringLiteral(":/icons/eye.svg"));
    return icon;
}

} // namespace

QRect ContentDelegate::eyeRect(const QRect& row) {
    return QRect(row.right() - kInset - kEyeSize + 1, row.center().y() - kEyeSize / 2 + 1, kEyeSize,
                 kEyeSize);
}

int ContentDelegate::rowHeight(const QFont& font) {
    return std::max(QFontMetrics(font).height() + 6, kEyeSize + 4);
}

QSize ContentDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (kindOf(index) != RowKind::Tutorial)
        return QSize(option.rect.width() > 0 ? option.rect.width() : 100, rowHeight(option.font));
    // A hint wraps to the list's width.
    const auto* view = qobject_cast<const QAbstractItemView*>(parent());
    const int width = (view ? view->viewport()->width() : 400) - 2 * kInset;
    const QFont font = index.data(Qt::FontRole).value<QFont>();
    const QRect text = QFontMetrics(font).boundingRect(QRect(0, 0, std::max(width, 50), 10000),
                                                       Qt::TextWordWrap, index.data().toString());
    return QSize(width, text.height() + 2);
}

void ContentDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    switch (kindOf(index)) {
    case RowKind::Header: {
        painter->save();
        QFont bold = option.font;
        bold.setBold(true);
        painter->setFont(bold);
        painter->setPen(secondaryTextColor(listPalette(option)));
        const QRect text = option.rect.adjusted(kInset, 0, -kInset, 0);
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, index.data().toString());
        painter->drawText(text, Qt::AlignRight | Qt::AlignVCenter,
                          index.data(roles::TrailingText).toString());
        painter->restore();
        return;
    }
    case RowKind::Divider: {
        painter->save();
        painter->setPen(LinearProgressBar::trackColor(listPalette(option)));
        const int y = option.rect.center().y();
        painter->drawLine(option.rect.left(), y, option.rect.right(), y);
        painter->restore();
        return;
    }
    case RowKind::Tutorial: {
        painter->save();
        painter->setFont(index.data(Qt::FontRole).value<QFont>());
        painter->setPen(secondaryTextColor(listPalette(option)));
        painter->drawText(option.rect.adjusted(kInset, 1, -kInset, -1),
                          Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, index.data().toString());
        painter->restore();
        return;
    }
    case RowKind::Folder:
        if (index.data(roles::Monitored).toBool()) {
            QStyleOptionViewItem text(option);
            text.rect.setRight(eyeRect(option.rect).left() - kInset);
            QStyledItemDelegate::paint(painter, text, index);
            eyeIcon().paint(painter, eyeRect(option.rect));
            return;
        }
        break;
    case RowKind::File:
        break;
    }
    QStyledItemDelegate::paint(painter, option, index);
}

} // namespace trevalin
