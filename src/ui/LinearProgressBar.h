// LinearProgressBar: a thin linear bar drawn by the program itself — a rounded track
// with a rounded fill in one of three tints — so the tint shows the same under every
// widget style (several styles ignore a QProgressBar's palette). Determinate, it is
// filled to a fraction; indeterminate, a segment slides to and fro along the track.
// The slide runs only while the bar is indeterminate and shown.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QColor>
#include <QVariantAnimation>
#include <QWidget>

namespace trevalin {

class LinearProgressBar : public QWidget {
    Q_OBJECT

public:
    enum class Tint { Red, Orange, Green };
    Q_ENUM(Tint)

    explicit LinearProgressBar(QWidget* parent = nullptr);

    // Filled to `fraction` of the track (clamped to 0...1; NaN is empty).
    void setDeterminate(double fraction);
    void setIndeterminate();
    void setTint(Tint tint);

    bool isIndeterminate() const { return m_indeterminate; }
    double fraction() const { return m_fraction; }
    Tint tint() const { return m_tint; }
    // The sliding segment is moving.
    bool isAnimating() const;

    // The colour of `tint` on `palette`: a brighter shade on a dark window.
    static QColor tintColor(Tint tint, const QPalette& palette);
    // The colour of the empty track on `palette`.
    static QColor trackColor(const QPalette& palette);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void updateAnimation(bool shown);

    QVariantAnimation m_slide;
    bool m_indeterminate = false;
    double m_fraction = 0;
    double m_phase = 0.5; // where the segment is, 0 = left end, 1 = right end
    Tint m_tint = Tint::Green;
};

} // namespace trevalin
