// timestamp(): the diagnostic of time elapsed since start-up. With debugging on it
// logs at debug level "Time since startup: " + seconds + " seconds", the seconds
// measured on the monotonic clock from StartupValues::uptimeNanoseconds() and
// written with nine decimals (nanoseconds), e.g. "Time since startup: 0.412003917
// seconds". With debugging off it logs nothing.
//
// Thread-safety: callable from any thread.
#pragma once

namespace trevalin {

void timestamp();

} // namespace trevalin
