// ContentListView: the main window's one list (folders, then files or the hints): a
// flat tree view without header or branches, since a tree view with rows of one height
// takes a changed row without laying out the others again, whatever their number. On
// top of that it asks for a row's context menu — with the right button,
// the Menu key or Shift+F10 (for the current row) — and reports a long press on a
// monitored folder's eye: held for half a second within 10 pixels of where it began.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QTimer>
#include <QTreeView>

namespace trevalin {

class ContentListView : public QTreeView {
    Q_OBJECT

public:
    static constexpr int kLongPressMs = 500;
    static constexpr int kLongPressSlop = 10;

    explicit ContentListView(QWidget* parent = nullptr);

    // Test-only: a shorter hold.
    void setLongPressForTesting(int ms) { m_hold.setInterval(ms); }

signals:
    // The context menu of `index` is asked for, to be shown at `globalPos`.
    void menuRequested(const QModelIndex& index, const QPoint& globalPos);
    // The eye of the monitored folder at `index` was held long enough.
    void eyeHeld(const QModelIndex& index);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void requestMenuForCurrent();
    bool onEye(const QModelIndex& index, const QPoint& pos) const;

    QTimer m_hold;
    QPersistentModelIndex m_pressed; // the folder whose eye is held
    QPoint m_pressPos;
};

} // namespace trevalin
