// StatusBarAnimator: the menu-bar icon's blinking while the engine works. The state
// machine calls start() and stop() from engine threads; the blink loop itself runs on
// the GUI thread, in the controller: it swaps the standard and exclamation icons once
// per Timing::blinkInterval() while running, and always ends on the standard icon.
// There is one loop at most: a start() while the loop runs keeps it going, so the
// icon never stops blinking because two loops undo each other's swaps.
//
// Thread-safety: start(), stop() and running() may be called from any thread;
// `running` is guarded by m_mutex. They never wait for the GUI thread.
#pragma once

#include "engine/Animator.h"

#include <QPointer>

#include <mutex>

namespace trevalin {

class StatusBarController;

class StatusBarAnimator final : public Animator {
public:
    explicit StatusBarAnimator(StatusBarController* controller);

    void start() override;
    void stop() override;
    bool running() const;

private:
    QPointer<StatusBarController> m_controller; // set once; the controller lives on the GUI thread

    mutable std::mutex m_mutex;
    bool m_running = false; // guarded by m_mutex
};

} // namespace trevalin
