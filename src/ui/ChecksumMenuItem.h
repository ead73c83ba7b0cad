// ChecksumMenuItem: one checksum of a file as a context menu item — the algorithm name
// in green, a space, and the value in the system's fixed-width font. Choosing it (a
// click, or Return/Enter while it is the active item) puts exactly the value on the
// clipboard as plain text and closes the menu. It takes the menu's highlight while it
// is the menu's active item, whether the mouse or the arrow keys made it so.
//
// Thread-safety: GUI thread only.
#pragma once

#include "model/Checksum.h"

#include <QWidgetAction>

class QMenu;

namespace trevalin {

class ChecksumMenuItem : public QWidgetAction {
    Q_OBJECT

public:
    // An item of `menu` (its parent); the caller adds it to the menu.
    ChecksumMenuItem(const Checksum& checksum, QMenu* menu);

    const QString& value() const { return m_value; }

private:
    QString m_value;
};

} // namespace trevalin
