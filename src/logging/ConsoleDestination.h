// ConsoleDestination: writes each rendered line to standard output with a
// trailing new line, or, with useNSLog, to the system log, which here is
// standard error. Level colours are coloured-heart markers by default, or
// 256-colour terminal escape codes with useTerminalColors.
//
// Thread-safety: as BaseDestination; lines are written on the destination's queue.
#pragma once

#include "logging/BaseDestination.h"

namespace trevalin {

class ConsoleDestination : public BaseDestination {
public:
    ConsoleDestination();

    bool useNSLog() const { return m_useNSLog.load(std::memory_order_relaxed); }
    void setUseNSLog(bool value) { m_useNSLog.store(value, std::memory_order_relaxed); }

    bool useTerminalColors() const { return m_useTerminalColors.load(std::memory_order_relaxed); }
    // True: ESC "[0m" as reset, ESC "[38;5;" as escape and 256-colour codes as level
    // colours. False: the heart markers again (escape and reset stay as they are).
    void setUseTerminalColors(bool value);

    std::optional<QString> send(const LogEntry& entry) override;

    // "💜 ", "💚 ", "💙 ", "💛 ", "❤️ " for verbose ... error.
    static QString heart(Level level);
    // "251m", "35m", "38m", "178m", "197m" for verbose ... error.
    static QString terminalColor(Level level);

private:
    std::atomic<bool> m_useNSLog{false};
    std::atomic<bool> m_useTerminalColors{false};
};

} // namespace trevalin
