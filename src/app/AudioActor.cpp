#include "app/AudioActor.h"

#include "logging/Logger.h"
#include "store/AppSettings.h"
#include "store/Debugging.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QFile>
#include <QMediaDevices>
#include <QMetaObject>
#include <QSoundEffect>
#include <QtEndian>

#include <cstring>

namespace trevalin {

namespace {

bool audioOutputPresent() {
    return !QMediaDevices::audioOutputs().isEmpty();
}

// Whether `url` names a bundled (qrc:) or local file that is a whole RIFF/WAVE file:
// a "fmt " chunk followed by a "data" chunk, every chunk up to it ending inside the file.
bool wholeWaveFile(const QUrl& url) {
    QString path;
    if (url.scheme() == QLatin1String("qrc"))
        path = QLatin1Char(':') + url.path();
    else if (url.isLocalFile())
        path = url.toLocalFile();
    else
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    char header[12];
    if (file.read(header, 12) != 12 || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0)
        return false;
    bool format = false;
    qint64 offset = 12;
    while (offset + 8 <= size) {
        char chunk[8];
        if (!file.seek(offset) || file.read(chunk, 8) != 8)
            return false;
        const qint64 length = qFromLittleEndian<quint32>(chunk + 4);
        if (offset + 8 + length > size)
            return false;
        if (std::memcmp(chunk, "fmt ", 4) == 0)
            format = true;
        else if (std::memcmp(chunk, "data", 4) == 0)
            return format;
        offset += 8 + length + (length & 1); // chunks are padded to an even length
    }
    return false;
}

} // namespace

AudioActor::AudioActor()
    : m_active(AppSettings::shared().audioEnabled())
    , m_outputCheck(audioOutputPresent) {}

const std::shared_ptr<AudioActor>& AudioActor::shared() {
    static const std::shared_ptr<AudioActor> instance = create();
    return instance;
}

std::shared_ptr<AudioActor> AudioActor::create() {
    return std::shared_ptr<AudioActor>(new AudioActor);
}

void AudioActor::play(const QUrl& url) {
    {
        std::lock_guard lock(m_mutex);
        if (m_lock)
            return; // a sound is being started; this request is dropped
        m_lock = true;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        fail();
        return;
    }
    QMetaObject::invokeMethod(
        app, [self = shared_from_this(), url] { self->start(url); }, Qt::QueuedConnection);
}

void AudioActor::toggle() {
    {
        std::lock_guard lock(m_mutex);
        m_active = !m_active;
    }
    TLOG_INFO(QStringLiteral("Audio notifications toggled"));
}

bool AudioActor::active() const {
    std::lock_guard lock(m_mutex);
    return m_active;
}

bool AudioActor::starting() const {
    std::lock_guard lock(m_mutex);
    return m_lock;
}

QSoundEffect* AudioActor::player() const {
    return m_audioPlayer.data();
}

void AudioActor::setOutputCheckForTesting(std::function<bool()> check) {
    std::lock_guard lock(m_mutex);
    m_outputCheck = check ? std::move(check) : std::function<bool()>(audioOutputPresent);
}

void AudioActor::start(const QUrl& url) {
    std::function<bool()> outputCheck;
    {
        std::lock_guard lock(m_mutex);
        outputCheck = m_outputCheck;
    }
    if (!outputCheck() || !wholeWaveFile(url)) {
        fail();
        return;
    }
    // The player belongs to the application object, so it never outlives the GUI thread.
    auto* player = new QSoundEffect(QCoreApplication::instance());
    m_pending = player;
    // Queued: a sample already in Qt's cache reports Ready from inside setSource().
    QObject::connect(
        player, &QSoundEffect::statusChanged, player,
        [this, self = weak_from_this(), player] {
            if (!self.expired() &&
                (player->status() == QSoundEffect::Ready || player->status() == QSoundEffect::Error))
                settle(player, player->status() == QSoundEffect::Ready);
        },
        Qt::QueuedConnection);
    player->setSource(url);
    if (player->status() == QSoundEffect::Ready || player->status() == QSoundEffect::Error)
        settle(player, player->status() == QSoundEffect::Ready);
}

void AudioActor::settle(QSoundEffect* player, bool loaded) {
    if (m_pending != player)
        return; // settled already
    m_pending = nullptr;
    if (!loaded) {
        player->deleteLater();
        fail();
        return;
    }
    if (m_audioPlayer)
        m_audioPlayer->deleteLater();
    m_audioPlayer = player;
    if (active()) {
        player->play();
        if (Debugging::flag())
            TLOG_DEBUG(QStringLiteral("Audio played: ") + player->source().toString());
    }
    release();
}

void AudioActor::fail() {
    TLOG_ERROR(QStringLiteral("Audio player: error thrown in playSound() function call"));
    release();
}

void AudioActor::release() {
    std::lock_guard lock(m_mutex);
    m_lock = false;
}

} // namespace trevalin
