#include "ui/ProgressBarView.h"

#include "ui/Typography.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace trevalin {

namespace {

constexpr int kTopSpace = 20;
constexpr int kSideMargin = 15;
QLabel* makeLabel(QWidget* parent, const QString& name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setFont(smallFont());
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

ProgressBarView::ProgressBarView(Progress& progress, QWidget* parent)
    : QWidget(parent)
    , m_progress(progress)
    , m_bar(new LinearProgressBar(this))
    , m_title(makeLabel(this, QStringLiteral("title")))
    , m_processed(makeLabel(this, QStringLiteral("processed")))
    , m_remaining(makeLabel(this, QStringLiteral("remaining")))
    , m_divider(new QFrame(this)) {
    setObjectName(QStringLiteral("ProgressBarView"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    m_divider->setFrameShape(QFrame::HLine);
    m_divider->setFrameShadow(QFrame::Plain);
    applyColors();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addSpacing(kTopSpace);

    auto* barBox = new QVBoxLayout;
    barBox->setContentsMargins(kSideMargin, 0, kSideMargin, 0);
    barBox->setSpacing(5);
    barBox->addWidget(m_title);
    barBox->addWidget(m_bar);
    column->addLayout(barBox);
    column->addSpacing(6);

    auto* counts = new QHBoxLayout;
    counts->setContentsMargins(kSideMargin, 0, kSideMargin, 0);
    counts->addWidget(m_processed);
    counts->addStretch(1);
    counts->addWidget(m_remaining);
    column->addLayout(counts);
    column->addSpacing(8);

    auto* dividerBox = new QHBoxLayout;
    dividerBox->setContentsMargins(kSideMargin, 0, kSideMargin, 0);
    dividerBox->addWidget(m_divider);
    column->addLayout(dividerBox);

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(kRefreshInterval);
    connect(&m_refreshTimer, &QTimer::timeout, this, &ProgressBarView::refresh);
    connect(&m_progress, &Progress::updated, this, &ProgressBarView::scheduleRefresh, Qt::QueuedConnection);
    refresh();
}

QString ProgressBarView::titleText() const {
    return m_title->text();
}

QString ProgressBarView::processedText() const {
    return m_processed->text();
}

QString ProgressBarView::remainingText() const {
    return m_remaining->text();
}

void ProgressBarView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColors();
}

void ProgressBarView::applyColors() {
    // The counts in the window's text colour at half strength: gray on light and dark
    // windows alike; the divider a hairline in the shade of the empty track.
    const QColor gray = secondaryTextColor(palette());
    for (QLabel* label : {m_processed, m_remaining}) {
        QPalette counts = label->palette();
        counts.setColor(QPalette::WindowText, gray);
        label->setPalette(counts);
    }
    QPalette line = m_divider->palette();
    line.setColor(QPalette::WindowText, LinearProgressBar::trackColor(palette()));
    m_divider->setPalette(line);
}

void ProgressBarView::scheduleRefresh() {
    // Not restarted by later changes: a steady stream still shows every interval.
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start();
}

void ProgressBarView::refresh() {
    ++m_refreshCount;
    const Progress::Snapshot now = m_progress.takeUpdate();
    using Tint = LinearProgressBar::Tint;
    if (now.value == 0 && now.total == 0) {
        m_bar->setIndeterminate();
        m_bar->setTint(now.active ? Tint::Red : Tint::Green);
    } else {
        m_bar->setDeterminate(now.total > 0 ? now.value / now.total : 0.0);
        m_bar->setTint(now.active ? Tint::Orange : Tint::Green);
    }
    m_title->setText(now.title);
    m_processed->setText(QStringLiteral("Processed: ") + QString::number(now.processed));
    m_remaining->setText(QStringLiteral("Remaining: ") + QString::number(now.remaining));
}

} // namespace trevalin
