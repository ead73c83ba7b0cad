// The save step the property-list databases share, driven through its outcomes: the
// save flag is cleared only when nothing changed after the snapshot, and a failed write
// keeps the old file and the flag. (Loading is driven through the databases' own tests
// and the command line's.)
#include "StoreTestSupport.h"
#include "TestMain.h"

#include "store/PlistDataFile.h"
#include "store/PlistError.h"
#include "store/PlistWriter.h"
#include "store/StoreHooks.h"

#include <QTemporaryDir>

using namespace trevalin;
using namespace trevalin::test;

namespace {

constexpr auto kSubSystem = StoreHooks::SubSystem::bookmarks;

// A database of one text value, as the real owners use the helper.
struct Owner {
    explicit Owner(const QString& path)
        : file(path, kSubSystem, mutex, generation) {}

    std::mutex mutex;
    std::uint64_t generation = 0; // guarded by mutex
    QString value;                // guarded by mutex
    PlistDataFile file;
};

} // namespace

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
        Owner owner(path);
        owner.value = QStringLiteral("new");
        ++owner.generation;
        StoreHooks::setFlag(kSubSystem, StoreHooks::Flag::save, true);

        QString snapshot;
        bool failed = false;
        try {
            owner.file.save({[&] { snapshot = owner.value; },
                             [&] {
                                 if (!changeAfterSnapshot)
                                     return;
                                 std::lock_guard lock(owner.mutex);
                                 owner.value = QStringLiteral("newer");
                                 ++owner.generation;
                             },
                             [&](PlistWriter& writer) {
                                 if (writeFails)
                                     throw PlistError(QStringLiteral("cannot encode"));
                                 writer.beginDict();
                                 writer.key(QLatin1StringView("value"));
                                 writer.string(snapshot);
                                 writer.endDict();
                             },
                             [](const PlistError& error) { throw error.message(); },
                             QStringLiteral("saved")});
        } catch (const QString& reason) { // thrown by the fail step above
            QCOMPARE(reason, QStringLiteral("cannot encode"));
            failed = true;
        }
        QCOMPARE(failed, writeFails);
        // The flag is cleared only by a write of the latest state; a failed one keeps the old file.
        QCOMPARE(StoreHooks::flag(kSubSystem, StoreHooks::Flag::save), changeAfterSnapshot || writeFails);
        const QByteArray written = readAll(path);
        QVERIFY2(writeFails ? written == "old" : written.contains("<string>new</string>"),
                 written.constData());
    }
};

TREVALIN_TEST_MAIN(TestPlistDataFile)
#include "tst_PlistDataFile.moc"
