#include "app/Timestamp.h"

#include "app/StartupValues.h"
#include "logging/Logger.h"
#include "store/Debugging.h"

#include <QString>

#include <cstdint>

namespace trevalin {

void timestamp() {
    const std::uint64_t start = StartupValues::uptimeNanoseconds(); // before now: it may be its first use
    const std::uint64_t elapsed = StartupValues::monotonicNow() - start;
    if (!Debugging::flag())
        return;
    constexpr std::uint64_t kNanoseconds = 1000000000;
    const QString seconds = QString::number(elapsed / kNanoseconds) + QLatin1Char('.') +
                            QString::number(elapsed % kNanoseconds).rightJustified(9, QLatin1Char('0'));
    TLOG_DEBUG(QStringLiteral("Time since startup: ") + seconds + QStringLiteral(" seconds"));
}

} // namespace trevalin
