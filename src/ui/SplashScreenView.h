// SplashScreenView: the first-run screen, 400 x 500 over its own background picture —
// the product name and subtitle, the login switch (the "autoLaunch" setting), the
// algorithm switches under "Enabled Algorithms", and beside them the turning logo over
// "Finish Setup". Finishing turns the "splashScreen" setting off and emits finished();
// whoever shows the view then replaces it.
//
// The view draws with a fixed light palette, since its background never changes with
// the desktop's colour scheme.
//
// Thread-safety: GUI thread only. The selection model must outlive the view.
#pragma once

#include "model/DigestState.h"

#include <QPixmap>
#include <QWidget>

class QCheckBox;
class QPushButton;

namespace trevalin {

class AlgorithmSwitches;
class LogoView;

class SplashScreenView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 400;
    static constexpr int kHeight = 500;

    explicit SplashScreenView(DigestState& state = DigestState::shared(), QWidget* parent = nullptr);

    AlgorithmSwitches& algorithms() { return *m_algorithms; }
    QCheckBox& loginSwitch() { return *m_login; }
    QPushButton& finishButton() { return *m_finish; }
    LogoView& logo() { return *m_logo; }

signals:
    // The user finished the setup; the "splashScreen" setting is off already.
    void finished();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void finish();

    AlgorithmSwitches* m_algorithms;
    QCheckBox* m_login;
    QPushButton* m_finish;
    LogoView* m_logo;
    QPixmap m_background;
    QSize m_backgroundFor; // the device size m_background was drawn for
};

} // namespace trevalin
