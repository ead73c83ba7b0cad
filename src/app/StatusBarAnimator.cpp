#include "app/StatusBarAnimator.h"

#include "app/StatusBarController.h"
#include "logging/LogTag.h"
#include "logging/Logger.h"
#include "store/Debugging.h"

#include <QMetaObject>

namespace trevalin {

StatusBarAnimator::StatusBarAnimator(StatusBarController* controller)
    : m_controller(controller) {}

void StatusBarAnimator::start() {
    if (Debugging::flag())
        TLOG_DEBUG(QStringLiteral("Request to [ START ] menu bar icon animation") +
                   logTag("Animator.start()"));
    {
        std::lock_guard lock(m_mutex);
        m_running = true;
    }
    if (StatusBarController* controller = m_controller.data())
        QMetaObject::invokeMethod(controller, &StatusBarController::startBlinking, Qt::QueuedConnection);
}

void StatusBarAnimator::stop() {
    if (Debugging::flag())
        TLOG_DEBUG(QStringLiteral("Request to [ STOP ] menu bar icon animation") + logTag("Animator.stop()"));
    std::lock_guard lock(m_mutex);
    m_running = false; // the loop sees it at its next step
}

bool StatusBarAnimator::running() const {
    std::lock_guard lock(m_mutex);
    return m_running;
}

} // namespace trevalin
