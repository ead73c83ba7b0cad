#include "ui/TintedMenu.h"

#include <QAction>
#include <QStyleOptionMenuItem>

namespace trevalin {

namespace {

constexpr const char* kTintProperty = "trevalinTint";

} // namespace

void TintedMenu::setTint(QAction* action, const QColor& color) {
    action->setProperty(kTintProperty, color);
}

QColor TintedMenu::tint(const QAction* action) {
    return action->property(kTintProperty).value<QColor>();
}

void TintedMenu::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const {
    QMenu::initStyleOption(option, action);
    const QColor color = tint(action);
    if (!color.isValid() || !action->isEnabled())
        return;
    // Styles draw item text with one of these roles; the highlighted text keeps the
    // style's own colour so it stays readable on the highlight.
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        option->palette.setColor(role, color);
}

namespace tints {

QColor green() {
    return QColor(0x2e, 0x9e, 0x44);
}

QColor yellow() {
    return QColor(0xc9, 0x8a, 0x00);
}

QColor red() {
    return QColor(0xd9, 0x30, 0x25);
}

QColor orange() {
    return QColor(0xe6, 0x7e, 0x00);
}

QColor blue() {
    return QColor(0x1f, 0x6f, 0xd1);
}

QColor purple() {
    return QColor(0x8e, 0x44, 0xad);
}

} // namespace tints

} // namespace trevalin
