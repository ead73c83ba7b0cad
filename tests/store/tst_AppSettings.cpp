// Settings: the two stores, clearing, the debug gate, and the load and save of the
// algorithm selection.
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

    void writesReachTheFiles() {
        AppSettings settings;
        settings.setSplashScreen(false);
        settings.setFullFilePaths(true);
        settings.setAppUUID(QStringLiteral("1234-abcd"));
        settings.setAlgorithmsData(QByteArray("[1]\x00\xff", 5));
        settings.setAutoLaunch(true);
        // Another holder of the same keys sees the values; so does a fresh reader of the files.
        QCOMPARE(AppSettings().splashScreen(), false);
        QSettings standard(AppSettings::standardFilePath(), QSettings::IniFormat);
        QCOMPARE(standard.value(QStringLiteral("fullFilePaths")).toBool(), true);
        QCOMPARE(standard.value(QStringLiteral("appUUID")).toString(), QStringLiteral("1234-abcd"));
        QCOMPARE(standard.value(QStringLiteral("algorithmsData")).toByteArray(),
                 QByteArray("[1]\x00\xff", 5));
        QVERIFY(!standard.contains(QStringLiteral("Trevalin.autoLaunch")));
        QSettings suite(AppSettings::suiteFilePath(), QSettings::IniFormat);
        QCOMPARE(suite.value(QStringLiteral("Trevalin.autoLaunch")).toBool(), true);
    }

    void removeAllSettings() {
        AppSettings settings;
        for (AppSettings::Keys key : AppSettings::kAllKeys)
            AppSettings::setValue(key, key == AppSettings::Keys::appUUID
                                           ? QVariant(QStringLiteral("x"))
                                           : QVariant(!AppSettings::defaultValue(key).toBool()));
        settings.setAutoLaunch(true);
        DigestState::shared().enable(Digest::SHA512);
        QCOMPARE(settings.splashScreen(), false);

        AppSettings::removeAllSettings();
        QCOMPARE(settings.splashScreen(), true);
        QCOMPARE(settings.debugging(), false);
        QCOMPARE(settings.windowVisible(), true);
        QCOMPARE(settings.appUUID(), QString());
        QCOMPARE(settings.autoLaunch(), true); // the login item choice stays
        QVERIFY(DigestState::shared().enabledDigests() == QList<Digest>{Digest::SHA1});
        const auto stored = DigestState::decode(settings.algorithmsData());
        QVERIFY(stored);
        QCOMPARE(stored->size(), 5);
        for (int i = 0; i < 5; ++i)
            QVERIFY(stored->at(i).sameSetting(DigestState::defaultList()[i]));
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
        Debugging::resetForTesting();
        QCOMPARE(Debugging::flag(), false);
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
        const QList<Digests> expected = {Digests::make(Digest::SHA512, true),
                                         Digests::make(Digest::MD5, true), Digests::make(Digest::SHA1, false),
                                         Digests::make(Digest::SHA256, false),
                                         Digests::make(Digest::SHA384, false)};
        QCOMPARE(AppSettings().algorithmsData(), DigestState::encode(expected));
    }

    void storedSelectionKeepsItsOrder() {
        QList<Digests> list;
        for (Digest digest : {Digest::SHA512, Digest::MD5, Digest::SHA1, Digest::SHA256, Digest::SHA384})
            list.append(Digests::make(digest, digest != Digest::SHA1));
        Debugging::setFlagForTesting(true);
        LogRecorder log;
        AppSettings::saveAlgorithmStatus(list);
        const QByteArray data = AppSettings().algorithmsData();
        QVERIFY(log.has(Level::Debug, QStringLiteral("Active algorithms 4, encoded array to: %1 bytes "
                                                     "[ AppSettings.saveAlgorithmStatus(_:) ]")
                                          .arg(data.size())));
        log.clear();
        AppSettings::loadAlgorithmStatus();
        QVERIFY(!log.has(Level::Warning, QStringLiteral("Default algorithms selection chosen at startup")));
        QVERIFY(log.has(Level::Info, QStringLiteral("Active algorithms 4, decoded array from: %1 bytes "
                                                    "[ AppSettings.loadAlgorithmStatus() ]")
                                         .arg(data.size())));
        QVERIFY(log.has(Level::Verbose, QStringLiteral("Algorithms enabled: SHA512 MD5 SHA256 SHA384 ")));
        QVERIFY(DigestState::shared().enabledDigests() ==
                (QList<Digest>{Digest::SHA512, Digest::MD5, Digest::SHA256, Digest::SHA384}));
        Debugging::setFlagForTesting(false);
    }
};

TREVALIN_TEST_MAIN(TestAppSettings)
#include "tst_AppSettings.moc"
