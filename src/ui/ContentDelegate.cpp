#include "ui/ContentDelegate.h"

#include "ui/ContentRoles.h"
#include "ui/LinearProgressBar.h"
#include "ui/ThemeIcon.h"
#include "ui/Typography.h"

#include <QPainter>

namespace trevalin {

namespace {

constexpr int kEyeSize = 16;
constexpr int kInset = 4;

RowKind kindOf(const QModelIndex& index) {
    return RowKind(index.data(roles::Kind).toInt());
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
    if (kindOf(index) == RowKind::Tutorial)
        return QStyledItemDelegate::sizeHint(option, index);
    return QSize(option.rect.width() > 0 ? option.rect.width() : 100, rowHeight(option.font));
}

void ContentDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    switch (kindOf(index)) {
    case RowKind::Header: {
        painter->save();
        QFont bold = option.font;
        bold.setBold(true);
        painter->setFont(bold);
        painter->setPen(secondaryTextColor(option.palette));
        const QRect text = option.rect.adjusted(kInset, 0, -kInset, 0);
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, index.data().toString());
        painter->drawText(text, Qt::AlignRight | Qt::AlignVCenter,
                          index.data(roles::TrailingText).toString());
        painter->restore();
        return;
    }
    case RowKind::Divider: {
        painter->save();
        painter->setPen(LinearProgressBar::trackColor(option.palette));
        const int y = option.rect.center().y();
        painter->drawLine(option.rect.left(), y, option.rect.right(), y);
        painter->restore();
        return;
    }
    case RowKind::Tutorial: {
        QStyleOptionViewItem plain(option);
        plain.state &= ~(QStyle::State_HasFocus | QStyle::State_Selected | QStyle::State_MouseOver);
        QStyledItemDelegate::paint(painter, plain, index);
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
