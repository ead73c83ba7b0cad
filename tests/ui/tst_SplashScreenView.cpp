// The splash screen: the algorithm rule through its boxes (SHA1 comes back when the last
// algorithm goes, the boxes and the stored selection follow), finishing the setup, the
// login switch, and the logo swinging only while shown.
#include "app/AppTestSupport.h"

#include "engine/EnginePool.h"
#include "store/AppSettings.h"
#include "ui/AlgorithmSwitches.h"
#include "ui/LogoView.h"
#include "ui/SplashScreenView.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>

using namespace trevalin;

namespace {

QList<Digests> selection(const QList<Digest>& enabled) {
    QList<Digests> list = DigestState::defaultList();
    for (Digests& entry : list)
        entry.enabled = enabled.contains(entry.digest);
    return list;
}

// The names of the enabled entries, in list order.
QStringList enabledIn(const QList<Digests>& list) {
    QStringList out;
    for (const Digests& entry : list)
        if (entry.enabled)
            out.append(entry.name);
    return out;
}

QVariant stored(const QString& file, const QString& key) {
    return QSettings(file, QSettings::IniFormat).value(key);
}

} // namespace

class tst_SplashScreenView : public QObject {
    Q_OBJECT

private slots:
    void algorithmSwitch_data() {
        QTest::addColumn<QList<Digest>>("before");
        QTest::addColumn<Digest>("digest");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QList<Digest>>("after");
        QTest::addRow("last one off: SHA1 comes back")
            << QList{Digest::SHA256} << Digest::SHA256 << false << QList{Digest::SHA1};
        QTest::addRow("SHA1, the last, off: stays on")
            << QList{Digest::SHA1} << Digest::SHA1 << false << QList{Digest::SHA1};
        QTest::addRow("one on among others") << QList{Digest::MD5, Digest::SHA384} << Digest::SHA512 << true
                                             << QList{Digest::MD5, Digest::SHA384, Digest::SHA512};
        QTest::addRow("SHA1 off while MD5 is on")
            << QList{Digest::MD5, Digest::SHA1} << Digest::SHA1 << false << QList{Digest::MD5};
    }
    void algorithmSwitch() {
        QFETCH(QList<Digest>, before);
        QFETCH(Digest, digest);
        QFETCH(bool, on);
        QFETCH(QList<Digest>, after);
        AppSettings::setValue(AppSettings::Keys::algorithmsData, QByteArray());
        DigestState state;
        state.setAlgorithms(selection(before));
        SplashScreenView view(state);
        AlgorithmSwitches& switches = view.algorithms();

        QCOMPARE(switches.box(digest)->isChecked(), !on);
        switches.box(digest)->click();
        QCOMPARE(enabledIn(state.algorithms()), enabledIn(selection(after)));
        for (Digest each : kAllDigests)
            QCOMPARE(switches.box(each)->isChecked(), after.contains(each));
        QVERIFY(EnginePool::waitForDone(5000));
        const std::optional<QList<Digests>> saved = DigestState::decode(
            stored(AppSettings::standardFilePath(), QStringLiteral("algorithmsData")).toByteArray());
        QVERIFY(saved);
        QCOMPARE(enabledIn(*saved), enabledIn(selection(after)));

        // A change made elsewhere shows in the boxes.
        state.setEnabled(Digest::SHA384, !after.contains(Digest::SHA384));
        QTRY_COMPARE(switches.box(Digest::SHA384)->isChecked(), !after.contains(Digest::SHA384));
    }

    void finishSetup() {
        AppSettings::shared().setSplashScreen(true);
        DigestState state;
        SplashScreenView view(state);
        QSignalSpy finished(&view, &SplashScreenView::finished);
        view.finishButton().click();
        QCOMPARE(finished.count(), 1);
        const QVariant splash = stored(AppSettings::standardFilePath(), QStringLiteral("splashScreen"));
        QVERIFY(splash.isValid());
        QCOMPARE(splash.toBool(), false);
    }

    void loginSwitch() {
        DigestState state;
        SplashScreenView view(state);
        QVERIFY(!view.loginSwitch().isChecked());
        const QString key = QStringLiteral("Trevalin.autoLaunch");
        view.loginSwitch().click();
        QCOMPARE(stored(AppSettings::suiteFilePath(), key).toBool(), true);
        view.loginSwitch().click();
        QCOMPARE(stored(AppSettings::suiteFilePath(), key).toBool(), false);
    }

    void logoSwingsWhileShown() {
        DigestState state;
        SplashScreenView view(state);
        LogoView& logo = view.logo();
        QCOMPARE(logo.angle(), LogoView::kStartAngle);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        // Out to the far side, then back through the middle (the swing reverses rather
        // than jumping back to where it started).
        QVERIFY(QTest::qWaitFor([&] { return logo.angle() < -40; }, 1000));
        bool throughMiddle = false;
        QVERIFY(QTest::qWaitFor(
            [&] {
                throughMiddle = throughMiddle || qAbs(logo.angle()) < 30;
                return logo.angle() > 40;
            },
            1000));
        QVERIFY(throughMiddle);

        view.hide();
        QVERIFY(!logo.isAnimating());
        const double still = logo.angle();
        QTest::qWait(150);
        QCOMPARE(logo.angle(), still);
        view.show();
        QVERIFY(QTest::qWaitFor([&] { return logo.angle() != still; }, 1000));
    }
};

TREVALIN_GUI_TEST_MAIN(tst_SplashScreenView)
#include "tst_SplashScreenView.moc"
