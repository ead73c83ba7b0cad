// themeIcon(): an icon from the desktop's icon theme, or the bundled picture when the
// theme has none by that name (a bare X session has no theme at all).
//
// Thread-safety: GUI thread only.
#pragma once

#include <QIcon>
#include <QString>

namespace trevalin {

// `name`: a freedesktop icon name ("user-trash"); `fallback`: a resource path.
QIcon themeIcon(const QString& name, const QString& fallback);

} // namespace trevalin
