// TintedMenu: a context menu whose items can each carry their own text colour (the
// green, yellow and red of the list's actions). An item is tinted by setTint(); the
// colour follows the item into the style's drawing, so it shows with any style.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QColor>
#include <QMenu>

namespace trevalin {

class TintedMenu : public QMenu {
    Q_OBJECT

public:
    using QMenu::QMenu;

    // Draws `action`'s text in `color` (an invalid colour: the style's own).
    static void setTint(QAction* action, const QColor& color);
    static QColor tint(const QAction* action);

protected:
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;
};

// The named colours of the list's texts and actions, readable on light and dark
// backgrounds alike.
namespace tints {
QColor green();
QColor yellow();
QColor red();
QColor orange();
QColor blue();
QColor purple();
} // namespace tints

} // namespace trevalin
