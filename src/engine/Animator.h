// Animator: what the application state machine needs from the menu-bar icon
// animation — start and stop the blinking. The menu-bar item implements it and
// hands it to Global::setAnimator() once it exists; until then Global skips the
// animation steps.
//
// Thread-safety: implementations are called from engine threads while Global holds
// its transition lock; they must return promptly and must never wait for the GUI
// thread (post to it instead).
#pragma once

namespace trevalin {

class Animator {
public:
    virtual ~Animator() = default;
    virtual void start() = 0;
    virtual void stop() = 0;
};

} // namespace trevalin
