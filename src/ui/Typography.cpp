#include "ui/Typography.h"

#include <QApplication>

namespace trevalin {

QFont smallFont() {
    QFont font = QApplication::font();
    font.setPointSizeF(11);
    font.setWeight(QFont::Normal);
    return font;
}

QColor secondaryTextColor(const QPalette& palette) {
    QColor gray = palette.color(QPalette::WindowText);
    gray.setAlphaF(0.5f);
    return gray;
}

} // namespace trevalin
