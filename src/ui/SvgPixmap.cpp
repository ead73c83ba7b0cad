#include "ui/SvgPixmap.h"

#include "logging/Logger.h"

#include <QImage>
#include <QImageReader>

namespace trevalin {

QPixmap svgPixmap(const QString& path, QSize size, qreal ratio, Qt::AspectRatioMode mode) {
    QImageReader reader(path);
    QSize natural = reader.size();
    if (!natural.isValid())
        natural = size;
    reader.setScaledSize(natural.scaled(size * ratio, mode));
    const QImage image = reader.read();
    if (image.isNull()) {
        TLOG_ERROR(QStringLiteral("Could not read the image ") + path + QStringLiteral(": ") +
                   reader.errorString());
        return {};
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

} // namespace trevalin
