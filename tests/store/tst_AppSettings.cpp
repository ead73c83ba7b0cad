// Settings: the two stores, clearing, the debug gate, and the load of the algorithm
// selection (its coding is tested with DigestState).
#include "TestMain.h"
#include "model/ModelTestSupport.h"

#include "logging/DebugGate.h"
#include "store/AppSettings.h"
#include "store/Debugging.h"

#include <QFile>
#include <QSettings>
#include <QTest>

using namespace trevalin;
using trevalin::test::LogRecorder;

class TestAppSettings : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QFile::remove(AppSettings::standardFilePath());
        QFile::remove(AppSettings::suiteFilePath());
        Debugging::resetForTesting();
        DigestState::shared().setDefaults();
    }

    // Every key back to its default and the selection to the default one; the login item
    // choice stays.
    void removeAllSettings() {
        for (AppSettings::Keys key : AppSettings::kAllKeys)
            AppSettings::setValue(key, QStringLiteral("x"));
        AppSettings settings;
        settings.setAutoLaunch(true);
        DigestState::shared().enable(Digest::SHA512);
        AppSettings::removeAllSettings();
        for (AppSettings::Keys key : AppSettings::kAllKeys)
            if (key != AppSettings::Keys::algorithmsData)
                QCOMPARE(AppSettings::value(key), AppSettings::defaultValue(key));
        QCOMPARE(settings.autoLaunch(), true);
        QVERIFY(DigestState::shared().enabledDigests() == QList<Digest>{Digest::SHA1});
        QCOMPARE(settings.algorithmsData(), DigestState::encode(DigestState::defaultList()));
    }

    void debuggingIsReadOnce() {
        AppSettings settings;
        settings.setDebugging(true);
        QVERIFY(!DebugGate::flag()); // off until the setting is read
        Debugging::load();
        QCOMPARE(DebugGate::flag(), true); // the layers below the store see it too
        QCOMPARE(Debugging::flag(), true);
        settings.setDebugging(false);
        QCOMPARE(Debugging::flag(), true); // unchanged until the next start
        QCOMPARE(Debugging::debugging(), false);
    }

    // Nothing stored, or data that does not decode: the default selection is chosen,
    // reported and stored; nothing debug-gated is logged with debugging off.
    void firstRun_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("nothing stored") << QByteArray();
        QTest::newRow("corrupt data") << QByteArray("{not json");
    }
    void firstRun() {
        QFETCH(QByteArray, stored);
        if (!stored.isEmpty())
            AppSettings().setAlgorithmsData(stored);
        LogRecorder log;
        Debugging::setFlagForTesting(false);
        DigestState::shared().setAlgorithms({});
        AppSettings::loadAlgorithmStatus();
        QVERIFY(log.has(Level::Warning, QStringLiteral("Default algorithms selection chosen at startup")));
        QVERIFY(log.has(Level::Info, QStringLiteral("Active algorithms 1, decoded array from: %1 bytes "
                                                    "[ AppSettings.loadAlgorithmStatus() ]")
                                         .arg(stored.size())));
        QCOMPARE(log.entries().size(), 2);
        QVERIFY(DigestState::shared().enabledDigests() == QList<Digest>{Digest::SHA1});
        QCOMPARE(AppSettings().algorithmsData(), DigestState::encode(DigestState::defaultList()));
    }

    void aStoredSelectionLackingAlgorithmsKeepsItsChoice() {
        {
            // As a settings file written by hand or by an older program holds it.
            QSettings standard(AppSettings::standardFilePath(), QSettings::IniFormat);
            standard.setValue(QStringLiteral("algorithmsData"),
                              QByteArray(R"([{"name":"SHA512","digest":"SHA512","enabled":true},)"
                                         R"({"digest":"MD5","enabled":true,"name":"MD5"}])"));
        }
        LogRecorder log;
        AppSettings::loadAlgorithmStatus();
        QVERIFY(!log.has(Level::Warning, QStringLiteral("Default algorithms selection chosen at startup")));
        QCOMPARE(log.countContaining("Stored algorithms selection completed"), 1);
        QVERIFY(DigestState::shared().enabledDigests() == (QList<Digest>{Digest::SHA512, Digest::MD5}));
        // Completed (the missing ones switched off, as DigestState's tests check) and stored so.
        QCOMPARE(AppSettings().algorithmsData(), DigestState::encode(DigestState::shared().algorithms()));
    }
};

TREVALIN_TEST_MAIN(TestAppSettings)
#include "tst_AppSettings.moc"
