#include "logging/ConsoleDestination.h"

#include <cstdio>

namespace trevalin {

namespace {
constexpr Level allLevels[] = {Level::Verbose, Level::Debug, Level::Info, Level::Warning, Level::Error};
}

ConsoleDestination::ConsoleDestination() {
    for (Level level : allLevels)
        setLevelColor(level, heart(level));
}

QString ConsoleDestination::heart(Level level) {
    switch (level) {
    case Level::Verbose:
        return QStringLiteral("\U0001F49C ");
    case Level::Debug:
        return QStringLiteral("\U0001F49A ");
    case Level::Info:
        return QStringLiteral("\U0001F499 ");
    case Level::Warning:
        return QStringLiteral("\U0001F49B ");
    case Level::Error:
        return QStringLiteral("\u2764\uFE0F ");
    }
    return {};
}

QString ConsoleDestination::terminalColor(Level level) {
    switch (level) {
    case Level::Verbose:
        return QStringLiteral("251m");
    case Level::Debug:
        return QStringLiteral("35m");
    case Level::Info:
        return QStringLiteral("38m");
    case Level::Warning:
        return QStringLiteral("178m");
    case Level::Error:
        return QStringLiteral("197m");
    }
    return {};
}

void ConsoleDestination::setUseTerminalColors(bool value) {
    m_useTerminalColors.store(value, std::memory_order_relaxed);
    if (value) {
        setReset(QStringLiteral("\u001b[0m"));
        setEscape(QStringLiteral("\u001b[38;5;"));
        for (Level level : allLevels)
            setLevelColor(level, terminalColor(level));
    } else {
        for (Level level : allLevels)
            setLevelColor(level, heart(level));
    }
}

std::optional<QString> ConsoleDestination::send(const LogEntry& entry) {
    std::optional<QString> line = BaseDestination::send(entry);
    if (!line)
        return line;
    const QByteArray bytes = line->toUtf8() + '\n';
    // One write per line, so lines from different destinations never interleave.
    std::FILE* stream = useNSLog() ? stderr : stdout;
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
    return line;
}

} // namespace trevalin
