#include "app/DecimalPlaces.h"

#include <charconv>
#include <cmath>

namespace trevalin {

double multiplier(DecimalPlaces places) {
    switch (places) {
    case DecimalPlaces::one:
        return 10.0;
    case DecimalPlaces::two:
        return 100.0;
    case DecimalPlaces::three:
        return 1000.0;
    }
    return 1.0;
}

double rounded(double value, DecimalPlaces places) {
    const double factor = multiplier(places);
    double scaled = value * factor;
    // From 2^52 on a double has no fractional part left to round.
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 4503599627370496.0)
        return value;
    // The product as it reads to 15 significant digits: 100.49999999999999 (1.005 x 100)
    // becomes the tie 100.5 that it stands for. to_chars/from_chars ignore the locale.
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, scaled, std::chars_format::general, 15);
    if (written.ec == std::errc())
        std::from_chars(text, written.ptr, scaled);
    return std::round(scaled) / factor; // std::round: halves away from zero
}

} // namespace trevalin
