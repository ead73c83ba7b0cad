// StartupValues: the process-wide values of start-up, each captured once on first
// use — the program's bundle identifier, the monotonic clock at start-up in
// nanoseconds (the clock that excludes suspend, as uptime does) and the wall-clock
// date. The start-up log lines read them; later time stamps compare against them.
//
// Thread-safety: every function may be called from any thread; the first call of
// each captures its value (a function-local static).
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>

namespace trevalin {

class StartupValues {
public:
    StartupValues() = delete;

    static QString bundleIdentifier();
    static std::uint64_t uptimeNanoseconds();
    static QDateTime date();

    // Captures all three now (the program calls it first thing in main()).
    static void capture();

    // The date in the long date and medium time style of the en_US locale, for example
    // "December 6, 2026 at 11:44:57 PM".
    static QString longDateMediumTime(const QDateTime& date);
    // The monotonic clock now, in nanoseconds.
    static std::uint64_t monotonicNow();
};

} // namespace trevalin
