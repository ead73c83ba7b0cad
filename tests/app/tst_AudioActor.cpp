// The notification sounds: what a play request leads to (played, silent, or the
// player that could not be created), the lock that drops an overlapping request,
// the switch; and the two small helpers beside them, the rounding to decimal places
// and the time-since-start-up line. No test needs an audio device: the output check
// is the actor's test seam, and a sound "played" on no device is never heard.
#include "AppTestSupport.h"

#include "app/AudioActor.h"
#include "app/DecimalPlaces.h"
#include "app/StartupValues.h"
#include "app/Timestamp.h"
#include "store/AppSettings.h"
#include "store/Debugging.h"

#include <QRegularExpression>
#include <QSoundEffect>
#include <QTemporaryDir>
#include <QThread>

Q_DECLARE_METATYPE(trevalin::DecimalPlaces)

using namespace trevalin;

namespace {

const QString kFailure = QStringLiteral("Audio player: error thrown in playSound() function call");
const QUrl kEvaluating(QStringLiteral("qrc:/sounds/evaluating.wav"));
const QUrl kFinished(QStringLiteral("qrc:/sounds/finished.wav"));

bool settles(const AudioActor& actor) {
    return QTest::qWaitFor([&] { return !actor.starting(); }, 5000);
}

} // namespace

class tst_AudioActor : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        StartupValues::capture();
        QVERIFY(m_dir.isValid());
        // Files that would leave a QSoundEffect loading for good: too short for a
        // header, and a header whose data is cut short.
        QFile junk(m_dir.filePath(QStringLiteral("junk.wav")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("junk\n");
        QFile sound(QStringLiteral(":/sounds/evaluating.wav"));
        QVERIFY(sound.open(QIODevice::ReadOnly));
        QFile cut(m_dir.filePath(QStringLiteral("cut.wav")));
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write(sound.read(1000));
    }
    void cleanup() {
        Debugging::resetForTesting();
        AppSettings::shared().setAudioEnabled(true);
    }

    void play_data() {
        QTest::addColumn<bool>("device");
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("debugging");
        QTest::addColumn<bool>("played"); // the "Audio played: " line
        QTest::addColumn<bool>("failed"); // the error line, no player
        const QUrl junk = QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("junk.wav")));
        const QUrl cut = QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("cut.wav")));
        QTest::addRow("evaluating") << true << kEvaluating << true << true << true << false;
        QTest::addRow("finished") << true << kFinished << true << true << true << false;
        QTest::addRow("sounds off") << true << kEvaluating << false << true << false << false;
        QTest::addRow("debugging off") << true << kFinished << true << false << false << false;
        QTest::addRow("no output device") << false << kEvaluating << true << true << false << true;
        QTest::addRow("missing file")
            << true << QUrl(QStringLiteral("qrc:/sounds/missing.wav")) << true << true << false << true;
        QTest::addRow("not a sound") << true << junk << true << true << false << true;
        QTest::addRow("data cut short") << true << cut << true << true << false << true;
    }
    void play() {
        QFETCH(bool, device);
        QFETCH(QUrl, url);
        QFETCH(bool, enabled);
        QFETCH(bool, debugging);
        QFETCH(bool, played);
        QFETCH(bool, failed);
        Debugging::setFlagForTesting(debugging);
        AppSettings::shared().setAudioEnabled(enabled);
        const std::shared_ptr<AudioActor> actor = AudioActor::create();
        actor->setOutputCheckForTesting([device] { return device; });
        test::LogRecorder recorder;

        actor->play(url);
        QVERIFY(actor->starting());
        QVERIFY(settles(*actor));
        QCOMPARE(recorder.countContaining(QStringLiteral("Audio played: ")), played ? 1 : 0);
        if (played)
            QVERIFY(recorder.has(QStringLiteral("DEBUG: Audio played: ") + url.toString()));
        QCOMPARE(recorder.has(Level::Error, kFailure), failed);
        // With sounds off the player is still made; a failed one is not kept.
        QCOMPARE(actor->player() != nullptr, !failed);
        if (!failed)
            QCOMPARE(actor->player()->source(), url);
    }

    void overlappingRequestIsDropped() {
        const std::shared_ptr<AudioActor> actor = AudioActor::create();
        actor->setOutputCheckForTesting([] { return false; });
        test::LogRecorder recorder;

        // From an engine thread: play() returns without the GUI thread, which is
        // blocked here until both calls are made.
        std::unique_ptr<QThread> engine(QThread::create([&] {
            actor->play(kEvaluating);
            actor->play(kFinished);
        }));
        engine->start();
        QVERIFY(engine->wait(5000));
        QVERIFY(settles(*actor));
        QCoreApplication::processEvents();
        QCOMPARE(recorder.countContaining(kFailure), 1);

        // The failure released the lock: the next request is taken.
        actor->play(kFinished);
        QVERIFY(settles(*actor));
        QCOMPARE(recorder.countContaining(kFailure), 2);
    }

    void toggle() {
        AppSettings::shared().setAudioEnabled(true);
        const std::shared_ptr<AudioActor> actor = AudioActor::create();
        test::LogRecorder recorder;
        AppSettings::shared().setAudioEnabled(false); // read once, at creation
        QVERIFY(actor->active());
        actor->toggle();
        QVERIFY(!actor->active());
        QVERIFY(recorder.has(QStringLiteral("INFO: Audio notifications toggled")));
        actor->toggle();
        QVERIFY(actor->active());
        QCOMPARE(recorder.countContaining(QStringLiteral("Audio notifications toggled")), 2);
    }

    void rounding_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<DecimalPlaces>("places");
        QTest::addColumn<double>("expected");
        QTest::addRow("1.25, one") << 1.25 << DecimalPlaces::one << 1.3;
        QTest::addRow("-1.25, one") << -1.25 << DecimalPlaces::one << -1.3;
        QTest::addRow("1.24, one") << 1.24 << DecimalPlaces::one << 1.2;
        QTest::addRow("1.005, two (as it reads)") << 1.005 << DecimalPlaces::two << 1.01;
        QTest::addRow("-1.005, two") << -1.005 << DecimalPlaces::two << -1.01;
        QTest::addRow("2.675, two") << 2.675 << DecimalPlaces::two << 2.68;
        QTest::addRow("1.0049, two") << 1.0049 << DecimalPlaces::two << 1.0;
        QTest::addRow("0.0005, three") << 0.0005 << DecimalPlaces::three << 0.001;
        QTest::addRow("1234.5678, three") << 1234.5678 << DecimalPlaces::three << 1234.568;
        QTest::addRow("-0.04, one") << -0.04 << DecimalPlaces::one << 0.0;
        QTest::addRow("1e300, three: unchanged") << 1e300 << DecimalPlaces::three << 1e300;
    }
    void rounding() {
        QFETCH(double, value);
        QFETCH(DecimalPlaces, places);
        QFETCH(double, expected);
        QCOMPARE(rounded(value, places), expected);
    }

    void timestampLine_data() {
        QTest::addColumn<bool>("debugging");
        QTest::addRow("debugging on") << true;
        QTest::addRow("debugging off: no line") << false;
    }
    void timestampLine() {
        QFETCH(bool, debugging);
        Debugging::setFlagForTesting(debugging);
        test::LogRecorder recorder;
        const double before =
            double(StartupValues::monotonicNow() - StartupValues::uptimeNanoseconds()) / 1e9;
        timestamp();
        const double after = double(StartupValues::monotonicNow() - StartupValues::uptimeNanoseconds()) / 1e9;
        const QStringList lines = recorder.lines();
        QCOMPARE(lines.size(), debugging ? 1 : 0);
        if (!debugging)
            return;
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("^DEBUG: Time since startup: (\\d+\\.\\d{9}) seconds$"))
                .match(lines.first());
        QVERIFY2(match.hasMatch(), qPrintable(lines.first()));
        const double seconds = match.captured(1).toDouble();
        QVERIFY(seconds >= before - 1e-9 && seconds <= after + 1e-9);
    }

private:
    QTemporaryDir m_dir;
};

TREVALIN_GUI_TEST_MAIN(tst_AudioActor)
#include "tst_AudioActor.moc"
