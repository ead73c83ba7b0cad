// LogoView: the application's logo turning about its vertical axis, drawn in perspective.
// The angle starts at kStartAngle and, after a short delay, swings with an ease-in-out
// curve to -kStartAngle and back, reversing at each end, for as long as the view is
// shown; hidden, the swing is paused (no timer runs) and it resumes where it stopped.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>

#include <chrono>

namespace trevalin {

class LogoView : public QWidget {
    Q_OBJECT

public:
    static constexpr double kStartAngle = 45;
    // A leg is 0.5 s and the delay 0.2 s, both played at double speed.
    static constexpr std::chrono::milliseconds kLegDuration{250};
    static constexpr std::chrono::milliseconds kStartDelay{100};

    explicit LogoView(QWidget* parent = nullptr);

    // The current rotation in degrees about the vertical axis.
    double angle() const { return m_angle; }
    // The swing (or its initial delay) is under way.
    bool isAnimating() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // The logo scaled to fit the view, keeping its proportions (cached per size).
    const QPixmap& logo();

    QVariantAnimation m_swing;
    QTimer m_delay;
    double m_angle = kStartAngle;
    QPixmap m_logo;
    QSize m_logoFor; // the device size m_logo was drawn for
};

} // namespace trevalin
