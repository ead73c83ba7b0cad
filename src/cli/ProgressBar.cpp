#include "cli/ProgressBar.h"

#include "engine/Progress.h"
#include "store/ByteCount.h"

#include <cmath>
#include <cstdio>

#include <sys/ioctl.h>
#include <unistd.h>

namespace trevalin {

namespace {

int terminalWidth() {
    struct winsize size {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20)
        return size.ws_col;
    return 80;
}

void writeStderr(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace

bool ProgressBar::stderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

ProgressBar::ProgressBar(Progress& progress, int jobsPerFile, QObject* parent)
    : QObject(parent)
    , m_progress(progress)
    , m_jobsPerFile(std::max(1, jobsPerFile)) {
    connect(&m_timer, &QTimer::timeout, this, &ProgressBar::draw);
}

void ProgressBar::start(int intervalMs) {
    m_clock.invalidate();
    m_timer.start(intervalMs);
}

void ProgressBar::finish() {
    m_timer.stop();
    if (m_drawn)
        writeStderr(QStringLiteral("\r\x1b[2K"));
    m_drawn = false;
}

QString ProgressBar::durationText(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0)
        return QStringLiteral("--:--");
    const qint64 s = qint64(std::llround(seconds));
    if (s >= 3600)
        return QString::asprintf("%lld:%02lld:%02lld", s / 3600, (s / 60) % 60, s % 60);
    return QString::asprintf("%lld:%02lld", s / 60, s % 60);
}

QString ProgressBar::render(double bytes, double totalBytes, qint64 jobs, qint64 totalJobs, double seconds,
                            int width) {
    const double fraction = totalBytes > 0  ? std::clamp(bytes / totalBytes, 0.0, 1.0)
                            : totalJobs > 0 ? std::clamp(double(jobs) / double(totalJobs), 0.0, 1.0)
                                            : 0.0;
    const double rate = seconds > 0.05 ? bytes / seconds : 0;
    const double left = rate > 0 ? (totalBytes - bytes) / rate : -1;
    const QString tail =
        QStringLiteral(" %1% %2/%3 jobs %4/%5 %6/s ETA %7")
            .arg(int(fraction * 100))
            .arg(jobs)
            .arg(totalJobs)
            .arg(byteCountString(bytes), byteCountString(totalBytes),
                 rate > 0 ? byteCountString(std::round(rate)) : QStringLiteral("-"), durationText(left));
    const int barWidth = std::max(10, width - int(tail.size()) - 3);
    const int filled = int(fraction * barWidth);
    return QLatin1Char('[') + QString(filled, QLatin1Char('#')) +
           QString(barWidth - filled, QLatin1Char(' ')) + QLatin1Char(']') + tail;
}

void ProgressBar::draw() {
    const Progress::Snapshot s = m_progress.snapshot();
    if (!s.active || s.total <= 0)
        return; // not processing yet (or the evaluating look): nothing to measure
    if (!m_clock.isValid())
        m_clock.start(); // the rate counts from the first job, not from intake
    const qint64 totalJobs = s.processed + s.remaining;
    QString line = render(s.value / m_jobsPerFile, s.total / m_jobsPerFile, s.processed, totalJobs,
                          m_clock.elapsed() / 1000.0, terminalWidth() - 1);
    writeStderr(QStringLiteral("\r") + line + QStringLiteral("\x1b[K"));
    m_drawn = true;
}

} // namespace trevalin
