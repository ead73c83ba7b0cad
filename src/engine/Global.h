// Global: the application's coarse activity state and the visible feedback that
// changing it drives — the progress model's title and look, the menu-bar icon
// animation and the two notification sounds — plus the save scheduler. One shared
// instance for the process, created on first use (status SplashScreen when the
// splashScreen setting is on, else Idle).
//
// Pieces that exist only later in start-up plug in through small interfaces; an
// absent piece is skipped silently:
//   setAnimator(std::shared_ptr<Animator>)       — the menu-bar icon animation;
//   setAudioPlayer(std::shared_ptr<AudioPlayer>) — plays kEvaluatingSound and
//       kFinishedSound (whether they are heard is the player's decision);
//   setTaglines(std::shared_ptr<TaglineSource>)  — asked for a new tagline after
//       every scheduled save.
//
// Thread-safety: set() is serialised by m_transitionMutex, held across the whole
// transition (status change and all its effects), so two concurrent calls never
// see the same old state. The effects call the progress model and the seams,
// which never wait for the GUI thread; so set() never waits for the GUI thread
// either, and the GUI thread may call it. Nothing that set() calls may call set()
// again. status() and the seams are guarded by m_mutex (short, never held while
// calling out). statusChanged() is emitted on the calling thread.
#pragma once

#include "engine/ApplicationState.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>
#include <mutex>
#include <optional>

namespace trevalin {

class Animator;
class AudioPlayer;
class FlagStore;
class Progress;
class TaglineSource;

class Global : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kEvaluatingSound = "qrc:/sounds/evaluating.wav";
    static constexpr const char* kFinishedSound = "qrc:/sounds/finished.wav";
    static constexpr const char* kEvaluatingTitle = "State: Evaluating Changes";

    // A state machine starting in `initial` that drives `progress` and saves
    // through `flags`. Both must outlive it, and it must outlive the saves it
    // schedules (the shared instance lives for the whole process).
    Global(ApplicationState initial, Progress& progress, FlagStore& flags, QObject* parent = nullptr);
    ~Global() override;

    // The shared instance, created on first use with the shared progress model and
    // flag store; the initial state comes from the splashScreen setting.
    static Global& shared();

    ApplicationState status() const;

    // Logs that the state tracking is initialised (and the splash screen warning
    // when the setting is on). Called once by the start-up sequence.
    void start();

    // Changes the state and applies the effects of the transition. Requesting the
    // current state again is logged as a warning and changes nothing.
    void set(ApplicationState state);
    // As set(to), but only while the state is `from`; otherwise nothing happens and
    // nothing is logged. Returns whether the state changed.
    bool change(ApplicationState from, ApplicationState to);

    // The evaluating look: title (when the current title is not empty and a title
    // is given), indeterminate bar, active; plays the evaluating sound.
    void evaluating(const std::optional<QString>& title);
    // The passive look; plays the finished sound (when `audio`) and schedules a save.
    void inactive(bool audio = true);
    // Starts a low-priority task that saves what is flagged as modified, then asks
    // for a new tagline. Never blocks the caller.
    void scheduleSave();

    void setAnimator(std::shared_ptr<Animator> animator);
    void setAudioPlayer(std::shared_ptr<AudioPlayer> player);
    void setTaglines(std::shared_ptr<TaglineSource> taglines);

    // Test-only: sets the status without any effect or log line.
    void setStatusForTesting(ApplicationState state);

signals:
    // Emitted after every change of status, on the thread that called set().
    void statusChanged(trevalin::ApplicationState state);

private:
    // The body of set(): `old` is the state on entry; m_transitionMutex is held.
    void apply(ApplicationState old, ApplicationState state);
    std::shared_ptr<Animator> animator() const;
    std::shared_ptr<AudioPlayer> audioPlayer() const;
    std::shared_ptr<TaglineSource> taglines() const;
    void play(const char* url);

    Progress& m_progress;
    FlagStore& m_flags;

    std::mutex m_transitionMutex; // held across the whole of set()

    mutable std::mutex m_mutex;
    ApplicationState m_status;                 // guarded by m_mutex
    std::shared_ptr<Animator> m_animator;      // guarded by m_mutex
    std::shared_ptr<AudioPlayer> m_audio;      // guarded by m_mutex
    std::shared_ptr<TaglineSource> m_taglines; // guarded by m_mutex
};

} // namespace trevalin
