// ProgressBarView: the status area along the top of the main window — the engine's
// status title over a linear bar, then "Processed: N" on the left and "Remaining: N"
// on the right, then a divider. It only reads the Progress model.
//
// The bar is indeterminate and red while the model is in its evaluating look (value
// and total both 0, active), green when that look is inactive; otherwise it is filled
// to value/total, orange while active and green when not.
//
// Changes of the model arrive through a queued connection and are coalesced: the
// first change after a refresh starts a short timer, and when it fires the view shows
// the latest snapshot. A burst of thousands of changes costs a handful of refreshes.
//
// Thread-safety: a widget of the GUI thread. The model may be written from any
// thread; it must outlive the view.
#pragma once

#include "engine/Progress.h"
#include "ui/LinearProgressBar.h"

#include <QTimer>
#include <QWidget>

#include <chrono>

class QFrame;
class QLabel;

namespace trevalin {

class ProgressBarView : public QWidget {
    Q_OBJECT

public:
    // How long changes are gathered before the view shows them (about 30 a second).
    static constexpr std::chrono::milliseconds kRefreshInterval{33};

    explicit ProgressBarView(Progress& progress = Progress::shared(), QWidget* parent = nullptr);

    LinearProgressBar& bar() { return *m_bar; }
    QString titleText() const;
    QString processedText() const;
    QString remainingText() const;
    // How many times the view has taken a snapshot of the model (for tests).
    int refreshCount() const { return m_refreshCount; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColors();
    void scheduleRefresh();
    void refresh();

    Progress& m_progress;
    QTimer m_refreshTimer;
    LinearProgressBar* m_bar;
    QLabel* m_title;
    QLabel* m_processed;
    QLabel* m_remaining;
    QFrame* m_divider;
    int m_refreshCount = 0;
};

} // namespace trevalin
