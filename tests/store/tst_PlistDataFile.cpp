// The save step the property-list databases share: the save flag is cleared only when
// nothing changed after the snapshot, and a failed write keeps the old file and the flag.
// (Loading is driven through the databases' own tests.)
#include "StoreTestSupport.h"
#include "TestMain.h"

#include "store/PlistDataFile.h"
#include "store/PlistError.h"
#include "store/PlistWriter.h"
#include "store/StoreHooks.h"

#include <QTemporaryDir>

using namespace trevalin;
using namespace trevalin::test;

static constexpr auto kSubSystem = StoreHooks::SubSystem::bookmarks;

class TestPlistDataFile : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { StoreHooks::uninstall(); }

    void save_data() {
        QTest::addColumn<bool>("changeAfterSnapshot");
        QTest::addColumn<bool>("writeFails");
        QTest::newRow("unchanged") << false << false;
        QTest::newRow("changed after the snapshot") << true << false;
        QTest::newRow("write fails") << false << true;
    }
    void save() {
        QFETCH(bool, changeAfterSnapshot);
        QFETCH(bool, writeFails);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.plist"));
        QVERIFY(writeFile(path, "old"));
        // An owner of one text value, as the databases use the helper.
        std::mutex mutex;
        std::uint64_t generation = 1; // guarded by mutex, as is value
        QString value = QStringLiteral("new");
        QString snapshot;
        QString failure; // what the fail step was handed
        PlistDataFile file(path, kSubSystem, mutex, generation);
        StoreHooks::setFlag(kSubSystem, StoreHooks::Flag::save, true);
        const auto save = [&] {
            file.save({[&] { snapshot = value; },
                       [&] {
                           std::lock_guard lock(mutex);
                           if (changeAfterSnapshot) {
                               value = QStringLiteral("newer");
                               ++generation;
                           }
                       },
                       [&](PlistWriter& writer) {
                           if (writeFails)
                               throw PlistError(QStringLiteral("cannot encode"));
                           writer.string(snapshot);
                       },
                       [&](const PlistError& error) { failure = error.message(); }, QStringLiteral("saved")});
        };
        if (writeFails)
            QVERIFY_THROWS_EXCEPTION(PlistError, save());
        else
            save();
        QCOMPARE(failure, writeFails ? QStringLiteral("cannot encode") : QString());
        // The flag is cleared only by a write of the latest state; a failed one keeps the old file.
        QCOMPARE(StoreHooks::flag(kSubSystem, StoreHooks::Flag::save), changeAfterSnapshot || writeFails);
        const QByteArray written = readAll(path);
        QVERIFY2(writeFails ? written == "old" : written.contains("<string>new</string>"),
                 written.constData());
    }
};

TREVALIN_TEST_MAIN(TestPlistDataFile)
#include "tst_PlistDataFile.moc"
