#include "ui/LogoView.h"

#include "ui/SvgPixmap.h"

#include <QPainter>

namespace trevalin {

namespace {

constexpr int kSide = 128;

} // namespace

LogoView::LogoView(QWidget* parent)
    : QWidget(parent) {
    setFixedSize(kSide, kSide);
    m_swing.setStartValue(kStartAngle);
    m_swing.setEndValue(-kStartAngle);
    m_swing.setDuration(int(kLegDuration.count()));
    m_swing.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&m_swing, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_angle = value.toDouble();
        update();
    });
    // Each leg ends where the next starts: play the same leg the other way.
    connect(&m_swing, &QAbstractAnimation::finished, this, [this] {
        m_swing.setDirection(m_swing.direction() == QAbstractAnimation::Forward
                                 ? QAbstractAnimation::Backward
                                 : QAbstractAnimation::Forward);
        m_swing.start();
    });
    m_delay.setSingleShot(true);
    m_delay.setInterval(kStartDelay);
    connect(&m_delay, &QTimer::timeout, this, [this] { m_swing.start(); });
}

bool LogoView::isAnimating() const {
    return m_delay.isActive() || m_swing.state() == QAbstractAnimation::Running;
}

QSize LogoView::sizeHint() const {
    return {kSide, kSide};
}

const QPixmap& LogoView::logo() {
    const qreal ratio = devicePixelRatioF();
    if (m_logoFor != size() * ratio) {
        m_logo = svgPixmap(QStringLiteral(":/icons/Trevalin.svg"), size(), ratio, Qt::KeepAspectRatio);
        m_logoFor = size() * ratio;
    }
    return m_logo;
}

void LogoView::paintEvent(QPaintEvent*) {
    const QPixmap& pixmap = logo();
    if (pixmap.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QSizeF shown = pixmap.deviceIndependentSize();
    const QPointF centre = rect().center() + QPointF(0.5, 0.5);
    QTransform turn;
    turn.translate(centre.x(), centre.y());
    turn.rotate(m_angle, Qt::YAxis);
    turn.translate(-centre.x(), -centre.y());
    painter.setTransform(turn);
    painter.drawPixmap(QPointF(centre.x() - shown.width() / 2, centre.y() - shown.height() / 2), pixmap);
}

void LogoView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_swing.state() == QAbstractAnimation::Paused)
        m_swing.resume();
    else if (m_swing.state() == QAbstractAnimation::Stopped)
        m_delay.start();
}

void LogoView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_delay.stop();
    if (m_swing.state() == QAbstractAnimation::Running)
        m_swing.pause();
}

} // namespace trevalin
