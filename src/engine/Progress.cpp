#include "engine/Progress.h"

#include "logging/Logger.h"

#include <QCoreApplication>
#include <QLocale>
#include <QThread>

#include <cmath>

namespace trevalin {

Progress::Progress(QObject* parent)
    : QObject(parent)
    , m_title(QString::fromLatin1(kInitialTitle)) {}

Progress& Progress::shared() {
    static Progress* instance = [] {
        auto* p = new Progress();
        if (auto* app = QCoreApplication::instance(); app && p->thread() != app->thread())
            p->moveToThread(app->thread());
        return p;
    }();
    return *instance;
}

template <typename T> void Progress::assign(T& field, const T& value) {
    {
        std::lock_guard lock(m_mutex);
        field = value;
    }
    notify();
}

void Progress::notify() {
    emit changed();
    if (!m_updatePending.exchange(true))
        emit updated();
}

Progress::Snapshot Progress::takeUpdate() {
    // Cleared before the read: a change made after it signals again.
    m_updatePending.store(false);
    return snapshot();
}

Progress::Snapshot Progress::snapshot() const {
    std::lock_guard lock(m_mutex);
    return Snapshot{m_title, m_value, m_total, m_active, m_processed, m_remaining};
}

QString Progress::title() const {
    std::lock_guard lock(m_mutex);
    return m_title;
}

double Progress::value() const {
    std::lock_guard lock(m_mutex);
    return m_value;
}

double Progress::total() const {
    std::lock_guard lock(m_mutex);
    return m_total;
}

bool Progress::active() const {
    std::lock_guard lock(m_mutex);
    return m_active;
}

qint64 Progress::processed() const {
    std::lock_guard lock(m_mutex);
    return m_processed;
}

qint64 Progress::remaining() const {
    std::lock_guard lock(m_mutex);
    return m_remaining;
}

void Progress::setTitle(const QString& title) {
    assign(m_title, title);
}
void Progress::setValue(double value) {
    assign(m_value, value);
}
void Progress::setTotal(double total) {
    assign(m_total, total);
}
void Progress::setActive(bool active) {
    assign(m_active, active);
}
void Progress::setProcessed(qint64 processed) {
    assign(m_processed, processed);
}
void Progress::setRemaining(qint64 remaining) {
    assign(m_remaining, remaining);
}

void Progress::jobFinished() {
    {
        std::lock_guard lock(m_mutex);
        ++m_processed;
        --m_remaining;
    }
    notify();
}

void Progress::incrementValue(double amount) {
    bool clamped = false;
    double requested = 0;
    double total = 0;
    {
        std::lock_guard lock(m_mutex);
        requested = m_value + amount;
        total = m_total;
        if (requested > m_total) {
            clamped = true;
            m_value = m_total;
        } else {
            m_value = m_value + amount;
        }
    }
    if (clamped) {
        TLOG_WARNING(QStringLiteral(
            "There was an attempt to increment progress bar beyond the current/permitted total"));
        TLOG_DEBUG(QStringLiteral("Requested increment ") + decimalText(amount) +
                   QStringLiteral(", new value requested ") + decimalText(requested) +
                   QStringLiteral(", current total ") + decimalText(total));
    }
    notify();
}

void Progress::setPassive() {
    {
        std::lock_guard lock(m_mutex);
        m_value = 1.0;
        m_total = 1.0;
        m_active = false;
    }
    notify();
}

void Progress::setIndeterminate() {
    {
        std::lock_guard lock(m_mutex);
        m_value = 0;
        m_total = 0;
        m_active = true;
    }
    notify();
}

void Progress::resetToInitial() {
    {
        std::lock_guard lock(m_mutex);
        m_title = QString::fromLatin1(kInitialTitle);
        m_value = 100.0;
        m_total = 100.0;
        m_active = false;
        m_processed = 0;
        m_remaining = 0;
    }
    notify();
}

QString Progress::decimalText(double value) {
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    const double magnitude = std::fabs(value);
    // Plain decimal notation between 1e-4 and 2^53, exponent notation outside.
    if (value == 0 || (magnitude >= 1e-4 && magnitude < 9007199254740992.0)) {
        QString text = QString::number(value, 'f', QLocale::FloatingPointShortest);
        if (!text.contains(QLatin1Char('.')))
            text += QStringLiteral(".0");
        if (text == QStringLiteral("-0.0") || value == 0)
            return std::signbit(value) ? QStringLiteral("-0.0") : QStringLiteral("0.0");
        return text;
    }
    QString text = QString::number(value, 'e', QLocale::FloatingPointShortest);
    // Qt writes at least two exponent digits ("1e+16", "1e-05"), as wanted.
    return text;
}

} // namespace trevalin
