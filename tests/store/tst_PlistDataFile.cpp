// The load and save steps the property-list databases share, driven through their
// outcomes: the save flag cleared only when nothing changed after the snapshot, a failed
// write that keeps the old file and the flag, a missing file, and an unreadable one set
// aside (or left where it is for a reader that must change nothing).
#include "StoreTestSupport.h"
#include "TestMain.h"

#include "model/FileSystemError.h"
#include "store/PlistDataFile.h"
#include "store/PlistError.h"
#include "store/PlistWriter.h"
#include "store/StoreHooks.h"

#include <QIODevice>
#include <QTemporaryDir>

using namespace trevalin;
using namespace trevalin::test;

namespace {

constexpr auto kSubSystem = StoreHooks::SubSystem::bookmarks;

// What an owner's fail step throws.
struct OwnerError {
    QString reason;
    QString aside;
};

// A database of one text value, as the real owners use the helper.
struct Owner {
    explicit Owner(const QString& path)
        : file(path, kSubSystem, mutex, generation) {}

    std::mutex mutex;
    std::uint64_t generation = 0; // guarded by mutex
    QString value;                // guarded by mutex
    PlistDataFile file;
};

bool saveFlag() {
    return StoreHooks::flag(kSubSystem, StoreHooks::Flag::save);
}

} // namespace

class TestPlistDataFile : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { StoreHooks::uninstall(); }

    void save_data() {
        QTest::addColumn<bool>("changeAfterSnapshot");
        QTest::addColumn<bool>("writeFails");
        QTest::addColumn<bool>("flagAfter");
        QTest::addColumn<QByteArray>("fileAfter");
        QTest::newRow("unchanged") << false << false << false << QByteArray("<string>new</string>");
        QTest::newRow("changed after the snapshot")
            << true << false << true << QByteArray("<string>new</string>");
        QTest::newRow("write fails") << false << true << true << QByteArray("old");
    }
    void save() {
        QFETCH(bool, changeAfterSnapshot);
        QFETCH(bool, writeFails);
        QFETCH(bool, flagAfter);
        QFETCH(QByteArray, fileAfter);
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
                             [](const PlistError& error) {
                                 throw OwnerError{error.message(), {}};
                             },
                             QStringLiteral("saved")});
        } catch (const OwnerError& error) {
            QCOMPARE(error.reason, QStringLiteral("cannot encode"));
            failed = true;
        }
        QCOMPARE(failed, writeFails);
        QCOMPARE(saveFlag(), flagAfter);
        const QByteArray written = readAll(path);
        QVERIFY2(writeFails ? written == fileAfter : written.contains(fileAfter), written.constData());
    }

    void load_data() {
        QTest::addColumn<QByteArray>("content"); // empty: no file
        QTest::addColumn<bool>("setAside");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("readable") << QByteArray("good") << true << QStringLiteral("loaded");
        QTest::newRow("missing") << QByteArray() << true << QStringLiteral("missing");
        QTest::newRow("unreadable, set aside") << QByteArray("bad") << true << QStringLiteral("failed");
        QTest::newRow("unreadable, left for a reader")
            << QByteArray("bad") << false << QStringLiteral("failed");
    }
    void load() {
        QFETCH(QByteArray, content);
        QFETCH(bool, setAside);
        QFETCH(QString, outcome);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.plist"));
        if (!content.isEmpty())
            QVERIFY(writeFile(path, content));
        Owner owner(path);

        QByteArray decoded;
        QString result = QStringLiteral("loaded");
        OwnerError failure;
        try {
            owner.file.load(setAside, {QStringLiteral("Owner.load()"), QStringLiteral("no file"),
                                       QStringLiteral("cannot load"),
                                       [&](QIODevice* file) {
                                           decoded = file->readAll();
                                           if (decoded == "bad")
                                               throw PlistError(QStringLiteral("not a property list"));
                                       },
                                       [](const QString& reason, const QString& aside) {
                                           throw OwnerError{reason, aside};
                                       }});
        } catch (const FileSystemException& error) {
            TCOMPARE_ENUM(error.error(), FileSystemError::NotReadable);
            result = QStringLiteral("missing");
        } catch (const OwnerError& error) {
            failure = error;
            result = QStringLiteral("failed");
        }
        QCOMPARE(result, outcome);
        QCOMPARE(decoded, content);
        if (outcome != QLatin1String("failed"))
            return;
        QCOMPARE(failure.reason, QStringLiteral("not a property list"));
        // Nothing is lost: the bytes are either set aside under the name reported, or left.
        const QStringList copies = asideCopies(path);
        if (setAside) {
            QCOMPARE(copies, QStringList{failure.aside});
            QCOMPARE(readAll(failure.aside), content);
            QVERIFY(!QFile::exists(path));
        } else {
            QVERIFY(failure.aside.isEmpty());
            QVERIFY(copies.isEmpty());
            QCOMPARE(readAll(path), content);
        }
    }
};

TREVALIN_TEST_MAIN(TestPlistDataFile)
#include "tst_PlistDataFile.moc"
