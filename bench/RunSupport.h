// Shared by the whole-program benchmarks: a fresh home for one run, and the probe that
// measures how late the GUI thread serves a 10 ms timer.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

namespace trevalin::bench {

// Points HOME and the XDG folders at `home`, so the databases, the folder store and the
// settings start empty. Call before the application object exists.
inline void isolateHome(const QTemporaryDir& home) {
    const QByteArray root = home.path().toUtf8();
    qputenv("HOME", root);
    qputenv("XDG_CONFIG_HOME", root + "/.config");
    qputenv("XDG_DATA_HOME", root + "/.local/share");
    qputenv("XDG_CACHE_HOME", root + "/.cache");
    QDir().mkpath(home.path() + QStringLiteral("/.local/share"));
}

// A 10 ms timer on the calling thread; worstMs() is the most it fired late.
class LatenessProbe {
public:
    explicit LatenessProbe(const QElapsedTimer& clock)
        : m_clock(clock) {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_worst = std::max(m_worst, (now - m_last) / 1e6 - 10.0);
            m_last = now;
        });
    }
    void start() {
        m_last = m_clock.nsecsElapsed();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    double worstMs() const { return m_worst; }

private:
    const QElapsedTimer& m_clock;
    QTimer m_timer;
    qint64 m_last = 0;
    double m_worst = 0;
};

} // namespace trevalin::bench
