// ProgressBar: a one-line progress display on standard error for a terminal. It polls
// the shared Progress model on a timer and redraws the line with the jobs and bytes
// done, the rate and the estimated time left; finish() clears the line.
//
// Thread-safety: lives on the main thread and is driven by its event loop; it only
// reads the Progress model, which may be written from any thread.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace trevalin {

class Progress;

class ProgressBar : public QObject {
    Q_OBJECT

public:
    // Whether standard error is a terminal (the bar is shown only then).
    static bool stderrIsTerminal();

    // `jobsPerFile`: the number of jobs queued for each file (one per enabled
    // algorithm). The model counts every job's bytes; the bar shows bytes of files.
    explicit ProgressBar(Progress& progress, int jobsPerFile = 1, QObject* parent = nullptr);

    // Starts polling every `intervalMs` milliseconds.
    void start(int intervalMs = 200);
    // Stops polling and erases the line.
    void finish();

    // The text of one line (without carriage return), for a run that has done `bytes`
    // of `totalBytes` and `jobs` of `totalJobs` after `seconds`; `width` columns.
    static QString render(double bytes, double totalBytes, qint64 jobs, qint64 totalJobs, double seconds,
                          int width);
    // "1:05", "1:02:03"; "--:--" when unknown.
    static QString durationText(double seconds);

private:
    void draw();

    Progress& m_progress;
    const int m_jobsPerFile;
    QTimer m_timer;
    QElapsedTimer m_clock;
    bool m_drawn = false;
};

} // namespace trevalin
