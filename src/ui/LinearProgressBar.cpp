#include "ui/LinearProgressBar.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace trevalin {

namespace {

constexpr int kHeight = 6;
constexpr int kSlideMs = 1100;        // one sweep from one end to the other
constexpr double kSegmentShare = 0.3; // the sliding segment's share of the track

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor mix(const QColor& a, const QColor& b, double share) {
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * share),
                            float(a.greenF() + (b.greenF() - a.greenF()) * share),
                            float(a.blueF() + (b.blueF() - a.blueF()) * share));
}

} // namespace

LinearProgressBar::LinearProgressBar(QWidget* parent)
    : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // One loop is a sweep there and back, slowing down at both ends.
    m_slide.setStartValue(0.0);
    m_slide.setEndValue(1.0);
    m_slide.setDuration(2 * kSlideMs);
    m_slide.setLoopCount(-1);
    connect(&m_slide, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_phase = (1.0 - std::cos(2.0 * std::numbers::pi * value.toDouble())) / 2.0;
        update();
    });
}

void LinearProgressBar::setDeterminate(double fraction) {
    fraction = std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
    if (!m_indeterminate && fraction == m_fraction)
        return;
    m_indeterminate = false;
    m_fraction = fraction;
    updateAnimation(isVisible());
    update();
}

void LinearProgressBar::setIndeterminate() {
    if (m_indeterminate)
        return;
    m_indeterminate = true;
    m_fraction = 0;
    updateAnimation(isVisible());
    update();
}

void LinearProgressBar::setTint(Tint tint) {
    if (tint == m_tint)
        return;
    m_tint = tint;
    update();
}

bool LinearProgressBar::isAnimating() const {
    return m_slide.state() == QAbstractAnimation::Running;
}

QColor LinearProgressBar::tintColor(Tint tint, const QPalette& palette) {
    const bool dark = isDark(palette);
    switch (tint) {
    case Tint::Red:
        return dark ? QColor(0xff, 0x45, 0x3a) : QColor(0xff, 0x3b, 0x30);
    case Tint::Orange:
        return dark ? QColor(0xff, 0x9f, 0x0a) : QColor(0xff, 0x95, 0x00);
    case Tint::Green:
        return dark ? QColor(0x32, 0xd7, 0x4b) : QColor(0x28, 0xcd, 0x41);
    }
    return {};
}

QColor LinearProgressBar::trackColor(const QPalette& palette) {
    return mix(palette.color(QPalette::Window), palette.color(QPalette::WindowText), 0.16);
}

QSize LinearProgressBar::sizeHint() const {
    return {160, kHeight};
}

QSize LinearProgressBar::minimumSizeHint() const {
    return {2 * kHeight, kHeight};
}

void LinearProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    const QRectF track(0, (height() - kHeight) / 2.0, width(), kHeight);
    const double radius = kHeight / 2.0;
    QPainterPath trackPath;
    trackPath.addRoundedRect(track, radius, radius);
    painter.fillPath(trackPath, trackColor(palette()));

    QRectF fill = track;
    if (m_indeterminate) {
        const double segment = track.width() * kSegmentShare;
        fill.setLeft(track.left() + m_phase * (track.width() - segment));
        fill.setWidth(segment);
    } else {
        fill.setWidth(track.width() * m_fraction);
    }
    if (fill.width() <= 0)
        return;
    // A fill narrower than the bar is high keeps its round start inside the track.
    QPainterPath fillPath;
    fillPath.addRoundedRect(fill.adjusted(0, 0, std::max(0.0, kHeight - fill.width()), 0), radius, radius);
    QPainterPath clip;
    clip.addRect(fill);
    painter.fillPath(fillPath.intersected(clip).intersected(trackPath), tintColor(m_tint, palette()));
}

void LinearProgressBar::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    updateAnimation(true);
}

void LinearProgressBar::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    updateAnimation(false);
}

void LinearProgressBar::updateAnimation(bool shown) {
    const bool run = m_indeterminate && shown;
    if (run && !isAnimating())
        m_slide.start();
    else if (!run && isAnimating())
        m_slide.stop();
}

} // namespace trevalin
