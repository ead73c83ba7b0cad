// AudioActor: the player of the two notification sounds (the application state
// machine's AudioPlayer). One sound is started at a time: play() marks the actor as
// starting (`lock`) and hands the request to the GUI thread, which creates a
// QSoundEffect for the file and, once it has loaded, keeps it as the current player
// (replacing the previous one) and plays it if sounds are switched on (`active`).
// A request that arrives while a sound is still being started is dropped.
//
// A player that cannot be created — no audio output device, or a file that does not
// load — is logged as an error and releases the lock; nothing else changes. Both are
// checked before a QSoundEffect is made: without a device it never reaches the end
// of playing, and a WAV file cut short leaves it loading for good (Qt's sample
// loader then blocks the destruction of every QSoundEffect). A file is given to it
// only when it is a whole RIFF/WAVE file: a "fmt " chunk, then a "data" chunk that
// ends inside the file. Such a file always loads or fails.
//
// `active` is taken from the audioEnabled setting when the actor is created (the
// program's shared instance: on first use); afterwards only toggle() changes it.
// With sounds off the player is still created, but not played.
//
// Thread-safety: play(), toggle() and the readers may be called from any thread;
// `lock` and `active` are guarded by m_mutex. play() never waits for the GUI thread
// (it is called by engine threads while the state machine holds its lock). The
// QSoundEffect objects live on the GUI thread, owned by the application object, and
// only the GUI thread touches them.
#pragma once

#include "engine/AudioPlayer.h"

#include <QPointer>
#include <QUrl>

#include <functional>
#include <memory>
#include <mutex>

class QSoundEffect;

namespace trevalin {

class AudioActor final : public AudioPlayer, public std::enable_shared_from_this<AudioActor> {
public:
    // The program's one instance, created on first use.
    static const std::shared_ptr<AudioActor>& shared();
    // A new, separate instance (`active` read from the setting now).
    static std::shared_ptr<AudioActor> create();

    void play(const QUrl& url) override;
    // Switches sounds on or off.
    void toggle();

    // Whether sounds are audible.
    bool active() const;
    // Whether a sound is being started (requests are dropped meanwhile).
    bool starting() const;
    // GUI thread only: the player of the last sound that loaded, or null.
    QSoundEffect* player() const;

    // Test seam: what decides whether there is an audio output device (default:
    // QMediaDevices::audioOutputs() is not empty). Called on the GUI thread.
    void setOutputCheckForTesting(std::function<bool()> check);

private:
    AudioActor();

    // On the GUI thread: creates the player for `url`.
    void start(const QUrl& url);
    // On the GUI thread: the player `player` loaded (`loaded`) or failed.
    void settle(QSoundEffect* player, bool loaded);
    // Logs the failure and releases the lock.
    void fail();
    void release();

    mutable std::mutex m_mutex;
    bool m_lock = false;                 // guarded by m_mutex
    bool m_active = false;               // guarded by m_mutex
    std::function<bool()> m_outputCheck; // guarded by m_mutex

    QPointer<QSoundEffect> m_audioPlayer; // GUI thread only: the player of the last sound
    QPointer<QSoundEffect> m_pending;     // GUI thread only: the player being loaded
};

} // namespace trevalin
