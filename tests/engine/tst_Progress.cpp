// Tests of the progress model: the clamp of incrementValue and its warning, change
// notifications (NaN included), and the decimal text of the log lines.
#include "engine/Progress.h"

#include "LogRecorder.h"
#include "TestMain.h"

#include <QSignalSpy>
#include <QTest>

using namespace trevalin;
using trevalin::test::LogRecorder;

class TestProgress : public QObject {
    Q_OBJECT

private slots:
    void incrementValue_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("total");
        QTest::addColumn<double>("amount");
        QTest::addColumn<double>("expected");
        QTest::addColumn<bool>("clamped"); // with a warning; otherwise no log line at all
        QTest::newRow("beyond total") << 9.5 << 10.0 << 1.0 << 10.0 << true;
        QTest::newRow("exactly total") << 9.0 << 10.0 << 1.0 << 10.0 << false;
        QTest::newRow("below total") << 2.0 << 10.0 << 3.0 << 5.0 << false;
        QTest::newRow("evaluating look") << 0.0 << 0.0 << 4096.0 << 0.0 << true;
        QTest::newRow("negative increment") << 5.0 << 10.0 << -2.5 << 2.5 << false;
        // NaN compares false with the total: no clamp, no log line.
        QTest::newRow("NaN") << 1.0 << 10.0 << qQNaN() << qQNaN() << false;
    }
    void incrementValue() {
        QFETCH(double, value);
        QFETCH(double, total);
        QFETCH(double, amount);
        QFETCH(double, expected);
        QFETCH(bool, clamped);
        Progress p;
        p.setTotal(total);
        p.setValue(value);
        LogRecorder log;
        QSignalSpy changed(&p, &Progress::changed);
        p.incrementValue(amount);
        QCOMPARE(p.value(), expected);
        QCOMPARE(p.total(), total);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(log.messages(Level::Warning).size(), clamped ? 1 : 0);
        QCOMPARE(log.messages().isEmpty(), !clamped);
    }

    // A burst of changes signals one update; taking it lets the next change signal
    // again, and what is taken is the latest state.
    void updatesAreCoalesced() {
        Progress p;
        QSignalSpy updated(&p, &Progress::updated);
        for (int i = 0; i < 1000; ++i)
            p.jobFinished();
        QCOMPARE(updated.count(), 1);
        QCOMPARE(p.takeUpdate().processed, 1000);
        p.setActive(true);
        p.setTitle(QStringLiteral("t"));
        QCOMPARE(updated.count(), 2);
        QCOMPARE(p.takeUpdate().title, QStringLiteral("t"));
    }

    void decimalText_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 1.0 << "1.0";
        QTest::newRow("fraction") << 9.5 << "9.5";
        QTest::newRow("negative") << -2.25 << "-2.25";
        QTest::newRow("tenth") << 0.1 << "0.1";
        QTest::newRow("below 2^53") << 1e15 << "1000000000000000.0";
        QTest::newRow("large") << 1e16 << "1e+16";
        QTest::newRow("small") << 1e-5 << "1e-05";
    }
    void decimalText() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(Progress::decimalText(value), text);
    }
};

TREVALIN_TEST_MAIN(TestProgress)
#include "tst_Progress.moc"
