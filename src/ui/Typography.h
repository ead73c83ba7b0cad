// Typography: the small text of the main window — the status lines, the toolbar's
// labels and the tutorial — and the secondary ("gray") text colour that follows the
// palette, so it reads on light and dark themes alike.
//
// Thread-safety: GUI thread only (reads the application font).
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

namespace trevalin {

// The application font at 11 points, regular weight.
QFont smallFont();
// The palette's window text at half strength.
QColor secondaryTextColor(const QPalette& palette);

} // namespace trevalin
