// AudioPlayer: what the application state machine needs from the sound player —
// play one sound file. Whether anything is heard (the audioEnabled setting, a
// missing output device) is decided inside the player. Handed to
// Global::setAudioPlayer(); absent until set, and then sounds are skipped.
//
// Thread-safety: called from engine threads while Global holds its transition
// lock; implementations must return promptly and never wait for the GUI thread.
#pragma once

#include <QUrl>

namespace trevalin {

class AudioPlayer {
public:
    virtual ~AudioPlayer() = default;
    virtual void play(const QUrl& url) = 0;
};

} // namespace trevalin
