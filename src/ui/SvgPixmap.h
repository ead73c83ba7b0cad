// svgPixmap: renders a bundled SVG image to a pixmap at the screen's resolution, through
// the SVG image-format plugin (no link to the SVG module).
//
// Thread-safety: GUI thread only (it makes a QPixmap).
#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace trevalin {

// The image at `path` fitted into `size` (device-independent pixels) per `mode`, drawn
// at `ratio` device pixels per pixel. A null pixmap when the image cannot be read.
QPixmap svgPixmap(const QString& path, QSize size, qreal ratio, Qt::AspectRatioMode mode);

} // namespace trevalin
