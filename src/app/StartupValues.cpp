#include "app/StartupValues.h"

#include "logging/Log.h"

#include <QLocale>

#include <time.h>

namespace trevalin {

QString StartupValues::bundleIdentifier() {
    static const QString identifier = QString::fromLatin1(Log::bundleIdentifier);
    return identifier;
}

std::uint64_t StartupValues::uptimeNanoseconds() {
    static const std::uint64_t value = monotonicNow();
    return value;
}

QDateTime StartupValues::date() {
    static const QDateTime value = QDateTime::currentDateTime();
    return value;
}

void StartupValues::capture() {
    bundleIdentifier();
    uptimeNanoseconds();
    date();
}

QString StartupValues::longDateMediumTime(const QDateTime& date) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toString(date.date(), QStringLiteral("MMMM d, yyyy")) + QStringLiteral(" at ") +
           english.toString(date.time(), QStringLiteral("h:mm:ss AP"));
}

std::uint64_t StartupValues::monotonicNow() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::uint64_t(now.tv_sec) * 1000000000ULL + std::uint64_t(now.tv_nsec);
}

} // namespace trevalin
