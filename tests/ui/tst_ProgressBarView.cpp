// The progress bar view: its looks for the model's states (form, tint as painted,
// texts, the indeterminate slide running only while shown), and a burst of model
// changes shown with a few refreshes.
#include "app/AppTestSupport.h"

#include "engine/Progress.h"
#include "ui/ProgressBarView.h"

#include <QThread>

using namespace trevalin;
using Tint = LinearProgressBar::Tint;

namespace {

// How many pixels along the middle of the bar have the colour of `tint` (the rounded
// ends are blended with the background).
int tintedPixels(LinearProgressBar& bar, Tint tint) {
    const QImage image = bar.grab().toImage();
    const QRgb wanted = LinearProgressBar::tintColor(tint, bar.palette()).rgb();
    int count = 0;
    for (int x = 0; x < image.width(); ++x)
        count += image.pixel(x, image.height() / 2) == wanted ? 1 : 0;
    return count;
}

} // namespace

class tst_ProgressBarView : public QObject {
    Q_OBJECT

private slots:
    void looks_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("total");
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("indeterminate");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<Tint>("tint");
        QTest::addRow("evaluating") << 0.0 << 0.0 << true << true << 0.0 << Tint::Red;
        QTest::addRow("evaluating, inactive") << 0.0 << 0.0 << false << true << 0.0 << Tint::Green;
        QTest::addRow("processing") << 4.0 << 10.0 << true << false << 0.4 << Tint::Orange;
        QTest::addRow("processing ended") << 4.0 << 10.0 << false << false << 0.4 << Tint::Green;
        QTest::addRow("nothing done yet") << 0.0 << 10.0 << true << false << 0.0 << Tint::Orange;
        QTest::addRow("passive") << 1.0 << 1.0 << false << false << 1.0 << Tint::Green;
    }
    void looks() {
        QFETCH(double, value);
        QFETCH(double, total);
        QFETCH(bool, active);
        QFETCH(bool, indeterminate);
        QFETCH(double, fraction);
        QFETCH(Tint, tint);
        Progress progress;
        ProgressBarView view(progress);
        view.resize(230, view.sizeHint().height());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        LinearProgressBar& bar = view.bar();
        QCOMPARE(bar.width(), 200);

        // A fresh model: full, green, idle.
        QCOMPARE(view.titleText(), QStringLiteral("Status: Idle"));
        QCOMPARE(view.processedText(), QStringLiteral("Processed: 0"));
        QCOMPARE(view.remainingText(), QStringLiteral("Remaining: 0"));
        QVERIFY(!bar.isIndeterminate());
        QCOMPARE(bar.fraction(), 1.0);
        QCOMPARE(bar.tint(), Tint::Green);
        QVERIFY(tintedPixels(bar, Tint::Green) >= 196);

        progress.setTitle("Status: Processing");
        progress.setTotal(total);
        progress.setValue(value);
        progress.setActive(active);
        progress.setProcessed(7);
        progress.setRemaining(3);
        QTRY_COMPARE(view.remainingText(), QStringLiteral("Remaining: 3"));
        QCOMPARE(view.processedText(), QStringLiteral("Processed: 7"));
        QCOMPARE(view.titleText(), QStringLiteral("Status: Processing"));
        QCOMPARE(bar.isIndeterminate(), indeterminate);
        QCOMPARE(bar.fraction(), fraction);
        QCOMPARE(bar.tint(), tint);
        QCOMPARE(bar.isAnimating(), indeterminate);
        const int painted = tintedPixels(bar, tint);
        if (indeterminate)
            QVERIFY2(painted > 20 && painted < 100, qPrintable(QString::number(painted)));
        else
            QVERIFY2(qAbs(painted - 200 * fraction) <= 4, qPrintable(QString::number(painted)));

        view.hide();
        QVERIFY(!bar.isAnimating());
        view.show();
        QCOMPARE(bar.isAnimating(), indeterminate);
        // Back to the passive look: the slide stops while the view stays shown.
        progress.setPassive();
        QTRY_COMPARE(bar.fraction(), 1.0);
        QVERIFY(!bar.isAnimating());
        QCOMPARE(bar.tint(), Tint::Green);
    }

    void burstIsCoalesced_data() {
        QTest::addColumn<bool>("fromWorker");
        QTest::addRow("GUI thread") << false;
        QTest::addRow("worker thread") << true;
    }
    void burstIsCoalesced() {
        QFETCH(bool, fromWorker);
        Progress progress;
        ProgressBarView view(progress);
        const int before = view.refreshCount();
        auto burst = [&progress] {
            progress.setTotal(10000);
            progress.setValue(0);
            progress.setRemaining(10000);
            for (int done = 1; done <= 10000; ++done) {
                progress.jobFinished();
                progress.incrementValue(1);
            }
        };
        if (fromWorker) {
            std::unique_ptr<QThread> worker(QThread::create(burst));
            worker->start();
            QVERIFY(worker->wait(60000));
        } else {
            burst();
        }
        QTRY_COMPARE(view.processedText(), QStringLiteral("Processed: 10000"));
        QCOMPARE(view.remainingText(), QStringLiteral("Remaining: 0"));
        QVERIFY2(view.refreshCount() - before <= 2,
                 qPrintable(QString::number(view.refreshCount() - before)));
    }
};

TREVALIN_GUI_TEST_MAIN(tst_ProgressBarView)
#include "tst_ProgressBarView.moc"
