// Command: one step of the start-up sequence. execute() does its work or starts a
// task for it, and returns promptly; it never throws.
//
// Thread-safety: commands are made and executed on the GUI thread.
#pragma once

#include <QString>

namespace trevalin {

class Command {
public:
    virtual ~Command() = default;
    // The step's name ("KillLauncher", "Logging", …).
    virtual QString name() const = 0;
    virtual void execute() = 0;
};

} // namespace trevalin
