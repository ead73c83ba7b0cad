#include "store/ByteCount.h"

#include <QLocale>

#include <cmath>

namespace trevalin {

namespace {

// The shortest text that reads back as `value`; whole values keep ".0"; very large or
// very small magnitudes use an exponent.
QString shortestText(double value) {
    const double magnitude = std::fabs(value);
    if (!std::isfinite(value))
        return QString::number(value);
    if (magnitude != 0 && (magnitude < 1e-4 || magnitude >= 9007199254740992.0))
        return QString::number(value, 'g', QLocale::FloatingPointShortest);
    if (value == std::trunc(value))
        return QString::number(value, 'f', 1);
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

} // namespace

QString byteCountString(double x) {
    constexpr double KB = 1024.0;
    constexpr double MB = 1048576.0;
    constexpr double GB = 1073741824.0;
    constexpr double TB = 1099511627776.0;
    if (x < KB) {
        if (std::isfinite(x) && x == std::trunc(x))
            return QString::asprintf("%.0f", x) + QStringLiteral(" Bytes");
        return shortestText(x) + QStringLiteral(" Bytes");
    }
    if (x < MB)
        return shortestText(std::round(x / KB * 10) / 10) + QStringLiteral(" KB");
    if (x < GB)
        return shortestText(std::round(x / MB * 10) / 10) + QStringLiteral(" MB");
    if (x < TB)
        return shortestText(std::round(x / GB * 100) / 100) + QStringLiteral(" GB");
    return shortestText(std::round(x / TB * 10) / 10) + QStringLiteral(" TB");
}

} // namespace trevalin
