// StartupProbe: start-up figures for the benchmark, on when the environment variable
// TREVALIN_STARTUP_PROBE is set. It notes, on the wall clock, when the tray item
// is shown and when both databases are ready (start-up completion), and meanwhile
// the worst lateness of a 10 ms timer on the GUI thread, which is how long the GUI
// thread was kept from its events. Once both have happened it prints one line
//   startup-probe main_ns=<main()> tray_ns=<tray> ready_ns=<ready> max_late_ms=<ms>
// (nanoseconds since the epoch; main() to the millisecond)
// to standard output and, when the variable's value is "quit", quits the program.
//
// Thread-safety: a QObject of the GUI thread; the completion hook posts to it.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdint>

namespace trevalin {

class TrevalinApp;

class StartupProbe : public QObject {
    Q_OBJECT

public:
    // A probe on `app` when TREVALIN_STARTUP_PROBE is set, else null.
    static StartupProbe* install(TrevalinApp& app);

private:
    StartupProbe(TrevalinApp& app, bool quitAfter);
    void tick();
    void report();

    TrevalinApp& m_app;
    const bool m_quitAfter;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTickNs = 0;
    qint64 m_maxLateNs = 0;
    std::uint64_t m_trayNs = 0;
    std::uint64_t m_readyNs = 0;
    bool m_reported = false;
};

} // namespace trevalin
