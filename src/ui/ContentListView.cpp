#include "ui/ContentListView.h"

#include "ui/ContentDelegate.h"
#include "ui/ContentRoles.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineF>
#include <QMouseEvent>
#include <QResizeEvent>

namespace trevalin {

ContentListView::ContentListView(QWidget* parent)
    : QTreeView(parent) {
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(0);
    setAllColumnsShowFocus(true);
    m_hold.setSingleShot(true);
    m_hold.setInterval(kLongPressMs);
    connect(&m_hold, &QTimer::timeout, this, [this] {
        if (m_pressed.isValid())
            emit eyeHeld(m_pressed);
        m_pressed = QModelIndex();
    });
}

void ContentListView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    // Rows of several heights (the wrapped hints) are measured for the new width.
    if (!uniformRowHeights() && event->size().width() != event->oldSize().width())
        scheduleDelayedItemsLayout();
}

void ContentListView::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() != QContextMenuEvent::Mouse) {
        requestMenuForCurrent();
        return;
    }
    const QModelIndex index = indexAt(event->pos());
    if (index.isValid())
        emit menuRequested(index, event->globalPos());
}

void ContentListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Menu ||
        (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        requestMenuForCurrent();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void ContentListView::requestMenuForCurrent() {
    const QModelIndex index = currentIndex();
    if (!index.isValid())
        return;
    scrollTo(index);
    const QRect row = visualRect(index);
    emit menuRequested(index, viewport()->mapToGlobal(QPoint(row.left() + 20, row.bottom())));
}

bool ContentListView::onEye(const QModelIndex& index, const QPoint& pos) const {
    return index.isValid() && RowKind(index.data(roles::Kind).toInt()) == RowKind::Folder &&
           index.data(roles::Monitored).toBool() && ContentDelegate::eyeRect(visualRect(index)).contains(pos);
}

void ContentListView::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (event->button() == Qt::LeftButton && onEye(index, pos)) {
        m_pressed = index;
        m_pressPos = pos;
        m_hold.start();
    }
    QTreeView::mousePressEvent(event);
}

void ContentListView::mouseMoveEvent(QMouseEvent* event) {
    if (m_pressed.isValid() && QLineF(event->position(), m_pressPos).length() > kLongPressSlop) {
        m_hold.stop();
        m_pressed = QModelIndex();
    }
    QTreeView::mouseMoveEvent(event);
}

void ContentListView::mouseReleaseEvent(QMouseEvent* event) {
    m_hold.stop();
    m_pressed = QModelIndex();
    QTreeView::mouseReleaseEvent(event);
}

} // namespace trevalin
