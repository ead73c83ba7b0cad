#include "app/StartupProbe.h"

#include "app/StartupValues.h"
#include "app/TrevalinApp.h"
#include "engine/FlagStore.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <cstdio>

#include <time.h>

namespace trevalin {

namespace {

constexpr int kTickMs = 10;

// The wall clock in nanoseconds, which a benchmark script can read too (date +%s%N).
std::uint64_t epochNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return std::uint64_t(now.tv_sec) * 1000000000ULL + std::uint64_t(now.tv_nsec);
}

} // namespace

StartupProbe* StartupProbe::install(TrevalinApp& app) {
    if (!qEnvironmentVariableIsSet("TREVALIN_STARTUP_PROBE"))
        return nullptr;
    return new StartupProbe(app, qEnvironmentVariable("TREVALIN_STARTUP_PROBE") == QLatin1String("quit"));
}

StartupProbe::StartupProbe(TrevalinApp& app, bool quitAfter)
    : QObject(&app)
    , m_app(app)
    , m_quitAfter(quitAfter) {
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &StartupProbe::tick);
    m_clock.start();
    m_lastTickNs = m_clock.nsecsElapsed();
    m_timer.start();

    connect(&app, &TrevalinApp::statusBarCreated, this, [this] {
        m_trayNs = epochNow();
        report();
    });
    QPointer<StartupProbe> self(this);
    FlagStore::shared().addStartupCompletionHook([self] {
        const std::uint64_t now = epochNow();
        if (StartupProbe* probe = self.data())
            QMetaObject::invokeMethod(
                probe,
                [probe, now] {
                    probe->m_readyNs = now;
                    probe->report();
                },
                Qt::QueuedConnection);
    });
}

void StartupProbe::tick() {
    const qint64 now = m_clock.nsecsElapsed();
    m_maxLateNs = std::max(m_maxLateNs, now - m_lastTickNs - qint64(kTickMs) * 1000000);
    m_lastTickNs = now;
}

void StartupProbe::report() {
    if (m_reported || !m_trayNs || !m_readyNs)
        return;
    m_reported = true;
    tick();
    std::printf("startup-probe main_ns=%llu tray_ns=%llu ready_ns=%llu max_late_ms=%.1f\n",
                static_cast<unsigned long long>(StartupValues::date().toMSecsSinceEpoch()) * 1000000ULL,
                static_cast<unsigned long long>(m_trayNs), static_cast<unsigned long long>(m_readyNs),
                double(m_maxLateNs) / 1e6);
    std::fflush(stdout);
    m_timer.stop();
    if (m_quitAfter)
        m_app.quit();
}

} // namespace trevalin
