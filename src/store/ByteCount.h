// byteCountString: the size text shown to the user — binary (1024-based) units,
// rounding half away from zero, the number in its shortest exact decimal form with
// whole values keeping one fractional digit ("1.0 KB"). Bytes below 1024 are shown
// without a fraction when they have none ("1023 Bytes"); gigabytes keep up to two
// decimals, the other units one. Stateless; safe from any thread.
#pragma once

#include <QString>

namespace trevalin {

QString byteCountString(double bytes);

} // namespace trevalin
