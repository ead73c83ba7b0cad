// DecimalPlaces: how many decimals a figure is rounded to for display, and the
// rounding itself — half away from zero (1.25 -> 1.3, -1.25 -> -1.3 with one place).
//
// A decimal tie is decided on the figure as it reads, not on its binary value:
// 1.005 is stored as 1.00499999999999989..., yet rounds to 1.01 with two places, as
// anyone reading "1.005" expects. The scaled value is taken to 15 significant digits
// (all a double holds reliably) before it is rounded.
//
// Thread-safety: pure functions, callable from any thread.
#pragma once

namespace trevalin {

enum class DecimalPlaces { one, two, three };

// 10, 100 or 1000.
double multiplier(DecimalPlaces places);

// `value` rounded to `places` decimals, half away from zero. A value that is not
// finite, or too large to carry those decimals, comes back unchanged.
double rounded(double value, DecimalPlaces places);

} // namespace trevalin
