#include "engine/Global.h"

#include "engine/Animator.h"
#include "engine/AudioPlayer.h"
#include "engine/EnginePool.h"
#include "engine/FlagStore.h"
#include "engine/Progress.h"
#include "engine/TaglineSource.h"
#include "logging/Logger.h"
#include "store/AppSettings.h"
#include "store/Debugging.h"

#include <QCoreApplication>

namespace trevalin {

Global::Global(ApplicationState initial, Progress& progress, FlagStore& flags, QObject* parent)
    : QObject(parent)
    , m_progress(progress)
    , m_flags(flags)
    , m_status(initial) {}

Global::~Global() = default;

Global& Global::shared() {
    static Global* instance = [] {
        const ApplicationState initial =
            AppSettings::shared().splashScreen() ? ApplicationState::SplashScreen : ApplicationState::Idle;
        auto* g = new Global(initial, Progress::shared(), FlagStore::shared());
        if (auto* app = QCoreApplication::instance(); app && g->thread() != app->thread())
            g->moveToThread(app->thread());
        return g;
    }();
    return *instance;
}

ApplicationState Global::status() const {
    std::lock_guard lock(m_mutex);
    return m_status;
}

void Global::start() {
    if (AppSettings::shared().splashScreen())
        TLOG_WARNING(QStringLiteral("Splash screen will be shown due to application settings"));
    TLOG_INFO(QStringLiteral("AppState subsystem initialised [ Global.start() ]"));
}

void Global::set(ApplicationState state) {
    std::lock_guard transition(m_transitionMutex);
    apply(status(), state);
}

bool Global::change(ApplicationState from, ApplicationState to) {
    std::lock_guard transition(m_transitionMutex);
    if (status() != from || from == to)
        return false;
    apply(from, to);
    return true;
}

void Global::apply(ApplicationState old, ApplicationState state) {
    const QString tag = QStringLiteral(" [ Global.set(_:) ]");
    if (state == old) {
        TLOG_WARNING(QStringLiteral("Requested same state as existing value: ") + toString(old) +
                     QStringLiteral(" -> ") + toString(state) + tag);
        return;
    }
    if (Debugging::flag())
        TLOG_DEBUG(QStringLiteral("State change: ") + toString(old) + QStringLiteral(" -> ") +
                   toString(state) + tag);
    {
        std::lock_guard lock(m_mutex);
        m_status = state;
    }
    emit statusChanged(state);
    m_progress.setTitle(QStringLiteral("State: ") + toString(state));

    using S = ApplicationState;
    if (old == S::Idle && state == S::Processing) {
        m_progress.setActive(true);
        if (auto a = animator())
            a->start();
    } else if (old == S::Idle && state == S::Evaluating) {
        if (auto a = animator())
            a->start();
        evaluating(QString::fromLatin1(kEvaluatingTitle));
    } else if (old == S::Processing && (state == S::Evaluating || state == S::Idle)) {
        inactive();
        if (auto a = animator())
            a->stop();
        m_progress.setRemaining(0);
    } else if (old == S::Evaluating && state == S::Idle) {
        // An evaluation that found no work: the look it switched on ends as a run's
        // does, without the finished sound, since nothing was finished.
        inactive(false);
        if (auto a = animator())
            a->stop();
        m_progress.setRemaining(0);
    }
}

void Global::evaluating(const std::optional<QString>& title) {
    if (title && !m_progress.title().isEmpty())
        m_progress.setTitle(*title);
    m_progress.setIndeterminate();
    TLOG_DEBUG(QStringLiteral(
        "Progress bar set to evaluating (indeterminate) state [ Global.evaluating(title:audio:) ]"));
    play(kEvaluatingSound);
}

void Global::inactive(bool audio) {
    m_progress.setPassive();
    TLOG_DEBUG(QStringLiteral("Progress bar set to passive/inactive state [ Global.inactive(audio:) ]"));
    if (audio)
        play(kFinishedSound);
    scheduleSave();
}

void Global::scheduleSave() {
    EnginePool::runLow([this] {
        m_flags.save();
        if (auto t = taglines())
            t->regenerate();
    });
}

void Global::play(const char* url) {
    if (auto player = audioPlayer())
        player->play(QUrl(QString::fromLatin1(url)));
}

std::shared_ptr<Animator> Global::animator() const {
    std::lock_guard lock(m_mutex);
    return m_animator;
}

std::shared_ptr<AudioPlayer> Global::audioPlayer() const {
    std::lock_guard lock(m_mutex);
    return m_audio;
}

std::shared_ptr<TaglineSource> Global::taglines() const {
    std::lock_guard lock(m_mutex);
    return m_taglines;
}

void Global::setAnimator(std::shared_ptr<Animator> animator) {
    std::lock_guard lock(m_mutex);
    m_animator = std::move(animator);
}

void Global::setAudioPlayer(std::shared_ptr<AudioPlayer> player) {
    std::lock_guard lock(m_mutex);
    m_audio = std::move(player);
}

void Global::setTaglines(std::shared_ptr<TaglineSource> taglines) {
    std::lock_guard lock(m_mutex);
    m_taglines = std::move(taglines);
}

void Global::setStatusForTesting(ApplicationState state) {
    std::lock_guard transition(m_transitionMutex);
    std::lock_guard lock(m_mutex);
    m_status = state;
}

} // namespace trevalin
