#include "ui/ThemeIcon.h"

namespace trevalin {

QIcon themeIcon(const QString& name, const QString& fallback) {
    return QIcon::fromTheme(name, QIcon(fallback));
}

} // namespace trevalin
