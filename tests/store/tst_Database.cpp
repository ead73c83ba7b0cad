// Content database: change reports, the file (round trips, rejected documents, start,
// save failures), and the map operations.
#include "StoreTestSupport.h"
#include "TestMain.h"

#include "store/Database.h"
#include "store/PlistFile.h"
#include "store/PlistWriter.h"
#include "store/StoreHooks.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

#include <limits>
#include <thread>

using namespace trevalin;
using namespace trevalin::test;

namespace {

// A URL and record pair for `path`, with `extra` entries in the record.
QByteArray entryXml(const QString& path, const QByteArray& extra = {}) {
    const QByteArray url = Location(path).urlText().toUtf8();
    return urlXml(url) + recordXml(url, path.toUtf8(), extra);
}

// The file names of `keys`, in order, separated by spaces.
QString names(const QList<Location>& keys) {
    QStringList out;
    for (const Location& key : keys)
        out.append(key.fileName());
    return out.join(' ');
}

// A record made by makeRecord() and stored in `db`.
FileObjectPtr add(Database& db, const QString& path, quint64 bytes = 0, const QList<Checksum>& sums = {}) {
    FileObjectPtr record = makeRecord(path, bytes, sums);
    db.set(record->location(), record);
    return record;
}

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    LogRecorder m_log;
    QString dbFile() const { return m_dir.path() + "/Trevalin.database.plist"; }
    bool saveFlag() { return StoreHooks::flag(StoreHooks::SubSystem::database, StoreHooks::Flag::save); }
    // The save flag once the background task that raises it has run.
    void expectSaveFlag(bool on) {
        QVERIFY(StoreHooks::waitForBackground(5000));
        QCOMPARE(saveFlag(), on);
    }

private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        StoreHooks::uninstall();
        m_log.clear();
    }
    void cleanup() { QVERIFY(StoreHooks::waitForBackground(10000)); }

    // Row-level change reports: each step acts on records "a" and "b" (present at the
    // start) or "c" (absent): +x appends, =x replaces, #x stores a digest, -x removes,
    // ! loads an empty file. The batch after the steps is compared whole.
    void recordChangesAreBatchedByKey_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected"); // reset | removed | inserted | changed
        const auto row = [](const char* name, const char* steps, const char* expected) {
            QTest::newRow(name) << QString::fromUtf8(steps) << QString::fromUtf8(expected);
        };
        row("five digests, one record", "#a #a #a #a #a", "0|||a");
        row("replace then digest", "=b #b", "0|||b");
        row("append then digest", "+c #c", "0||c|");
        row("append then remove", "+c -c", "0|||");
        row("change then remove", "#a -a", "0|a||");
        row("remove then append", "-a +a", "0|a|a|");
        row("order of appends", "+c -a +a #b", "0|a|c a|b");
        row("load replaces all", "#a ! +c", "1|||");
    }
    void recordChangesAreBatchedByKey() {
        QFETCH(QString, steps);
        QFETCH(QString, expected);
        QVERIFY(writeFile(dbFile(), dbDocument({})));
        Database db(dbFile());
        add(db, "/data/a");
        add(db, "/data/b");
        db.flushChanges();
        QSignalSpy spy(&db, &Database::recordsChanged);
        for (const QString& step : steps.split(' ')) {
            const Location key("/data/" + step.mid(1));
            if (step[0] == '+' || step[0] == '=')
                db.set(key, makeRecord(key.path()));
            else if (step[0] == '#')
                db.checksumStore(key, Checksum::make(Digest::SHA1, QString::number(spy.count()) + step));
            else if (step[0] == '-')
                db.remove(OrderedSet<Location>{key});
            else
                db.load();
        }
        db.flushChanges();
        QCOMPARE(spy.count(), expected == "0|||" ? 0 : 1); // nothing to report: no batch
        const RecordChanges c = spy.isEmpty() ? RecordChanges() : spy.at(0).at(0).value<RecordChanges>();
        QCOMPARE(QString::number(c.reset) + '|' + names(c.removed) + '|' + names(c.inserted) + '|' +
                     names(c.changed),
                 expected);
    }

    // 10,000 records appended and given five digests each (60,000 changes) within one
    // interval: one batch holding the appends in order and nothing else.
    void manyChangesArriveInOneBatch() {
        Database db(dbFile());
        db.setChangeInterval(std::chrono::hours(1));
        QSignalSpy spy(&db, &Database::recordsChanged);
        for (int i = 0; i < 10000; ++i) {
            const Location key("/data/" + QString::number(i));
            db.set(key, makeRecord(key.path()));
            for (int d = 0; d < 5; ++d)
                db.checksumStore(key, Checksum::make(kAllDigests[d], QString::number(d)));
        }
        db.flushChanges();
        QCOMPARE(spy.count(), 1);
        const RecordChanges c = spy.at(0).at(0).value<RecordChanges>();
        QVERIFY(!c.reset && c.removed.isEmpty() && c.changed.isEmpty());
        QCOMPARE(c.inserted.size(), 10000);
        QCOMPARE(c.inserted.first().fileName(), "0");
        QCOMPARE(c.inserted.last().fileName(), "9999");
    }

    // Every field survives a save and a load: the checksums' order and ids, the times bit
    // for bit (-0.0, denormals, infinities), paths that stress escaping and URL coding.
    void roundTrip_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("time"); // created; modified is its negation
        const auto row = [](const char* tag, const QString& name, double time = 1733480000.1234567) {
            QTest::newRow(tag) << name << time;
        };
        row("markup, spaces, commas", "R&D <draft> \"final\" 'v2', one,two.txt");
        row("CR", "carriage\rreturn.txt");
        row("LF and tab", "line\nfeed\ttab.txt");
        row("emoji", QString::fromUtf8("snap \xF0\x9F\x93\xB7 \xC3\xA9t\xC3\xA9.jpg"));
        row("url specials", "100% #1 ?query=a;b.txt");
        row("leading blanks", "  padded  ");
        row("negative zero", "r.bin", -0.0);
        row("denormal", "r.bin", std::numeric_limits<double>::denorm_min());
        row("max", "r.bin", std::numeric_limits<double>::max());
        row("third", "r.bin", 1.0 / 3.0);
        row("infinity", "r.bin", std::numeric_limits<double>::infinity());
    }
    void roundTrip() {
        QFETCH(QString, name);
        QFETCH(double, time);
        const QString path = m_dir.path() + "/sub dir/" + name;
        FileObjectPtr record = makeRecord(path, std::numeric_limits<quint64>::max(),
                                          {Checksum::make(Digest::SHA512, QString(128, 'b')),
                                           Checksum::make(Digest::MD5, QString(32, 'a'))});
        record->setBookmarked(true);
        record->setStatus(FileState::Zombie);
        record->setCreated(time);
        record->setModified(-time);
        Database db(dbFile());
        QVERIFY(db.set(record->location(), record));
        db.save();
        Database again(dbFile());
        again.load();
        QCOMPARE(again.count(), std::size_t(1));
        const FileObjectPtr loaded = again.record(Location(path));
        QVERIFY(loaded && sameData(loaded->snapshot(), record->snapshot()));
    }

    void rejectedDocuments_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        // Every way a document fails to decode ends in the same handling: the empty and
        // shortened files, and the rows with their own error texts. The decoding of many
        // more malformed documents is covered by the reader tests.
        auto row = [](const char* name, const QByteArray& bytes, const char* reason = "") {
            QTest::newRow(name) << bytes << QString::fromUtf8(reason);
        };
        const QByteArray one = entryXml("/data/one.txt");
        const auto without = [&one](const char* entry) {
            return dbDocument(QByteArray(one).replace(entry, ""));
        };
        row("empty", QByteArray());
        row("truncated", dbDocument(one).left(dbDocument(one).size() / 2));
        row("no db key", plistDocument("<dict><key>other</key><array/></dict>"),
            "No value associated with key \"db\"");
        row("odd array", dbDocument(one + urlXml("file:///data/two.txt")),
            "Unkeyed container reached end before value in key-value pair");
        row("duplicate key", dbDocument(one + one), "Duplicate key at offset 2");
        row("record without bytes", without("<key>bytes</key><integer>12</integer>"),
            "No value associated with key \"bytes\"");
        row("unknown status", dbDocument(entryXml("/data/one.txt", "<key>status</key><string>Done</string>")),
            "Cannot initialize FileState from invalid String value Done");
    }
    void rejectedDocuments() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QVERIFY(writeFile(dbFile(), bytes));
        Database db(dbFile());
        FileObjectPtr kept = add(db, "/data/kept.txt");
        QVERIFY(errorThrown<DatabaseException>([&] { db.load(); }) == DatabaseError::LoadDatabaseError);
        QVERIFY(m_log.has("ERROR: Loading/parsing content database failed  [ Database.load() ]"));
        if (!reason.isEmpty())
            QVERIFY2(m_log.hasPrefix("ERROR: " + reason), qPrintable(m_log.lines().join('\n')));
        // Memory untouched; the bad file kept aside byte for byte.
        QVERIFY(db.count() == 1 && db.contains(kept->location()));
        QVERIFY(!QFile::exists(dbFile()));
        const QStringList aside = asideCopies(dbFile());
        QCOMPARE(aside.size(), 1);
        QVERIFY2(aside[0].startsWith(dbFile() + ".corrupt-20"), qPrintable(aside[0]));
        QCOMPARE(readAll(aside[0]), bytes);
    }

    // Start-up without a usable file: a missing one (warned about) or an unreadable one (set
    // aside as above) is replaced by an empty database, and the store is ready.
    void start_data() {
        QTest::addColumn<QByteArray>("bytes"); // empty: no file
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("odd array") << dbDocument(entryXml("/data/a.txt") + urlXml("file:///data/b.txt"));
    }
    void start() {
        QFETCH(QByteArray, bytes);
        if (!bytes.isEmpty())
            QVERIFY(writeFile(dbFile(), bytes));
        Database db(dbFile());
        db.start();
        QVERIFY(StoreHooks::flag(StoreHooks::SubSystem::database, StoreHooks::Flag::ready));
        // The fallback save wrote an empty database.
        QCOMPARE(DatabaseCodec::decode(readAll(dbFile())).size(), std::size_t(0));
        QCOMPARE(m_log.has("WARNING: The content database file could not be opened [ Database.load() ]"),
                 bytes.isEmpty());
    }

    void unsafePathsRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("storable");
        QTest::newRow("SOH, ESC") << QString("a") + QChar(0x01) + "b\x1b[31mred" << false;
        QTest::newRow("DEL is fine") << QString("a") + QChar(0x7f) + "b" << true;
        QTest::newRow("replacement char") << QString("bad") + QChar(0xFFFD) << false;
        QTest::newRow("lone surrogate") << QString("x") + QChar(0xD800) << false;
    }
    void unsafePathsRefused() {
        QFETCH(QString, name);
        QFETCH(bool, storable);
        const Location location(m_dir.path() + "/" + name);
        Database db(dbFile());
        QCOMPARE(db.set(location, makeRecord(location.path())), storable);
        if (!storable)
            QVERIFY(m_log.hasPrefix("ERROR: Location cannot be stored in the content database: "));
        db.save();
        Database again(dbFile());
        again.load(); // the file always reads back
        QCOMPARE(again.count(), std::size_t(storable ? 1 : 0));
    }

    void crashBeforeRenameKeepsOldFile() {
        Database db(dbFile());
        add(db, "/data/old.txt", 7);
        db.save();
        const QByteArray old = readAll(dbFile());
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            // Dies half way through writing the replacement.
            try {
                PlistFile::write(dbFile(), [](PlistWriter& w) {
                    w.beginDict();
                    w.key(u"db");
                    w.beginArray();
                    w.string(QString(100000, 'x'));
                    _exit(0);
                });
            } catch (...) {
            }
            _exit(1);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QCOMPARE(readAll(dbFile()), old);
    }

    // A failed save (a folder in the way: root ignores permissions) names the file. (That
    // the flag stays set for the next save is the shared save step's, tested on its own.)
    void failedSaveNamesTheFile() {
        QVERIFY(QDir().mkpath(dbFile() + "/blocker"));
        Database db(dbFile());
        try {
            db.save();
            QFAIL("save() succeeded over a folder");
        } catch (const DatabaseException& error) {
            QVERIFY(error.error() == DatabaseError::SaveDatabaseError);
            QVERIFY2(error.detail().contains(dbFile()), qPrintable(error.detail()));
        }
    }

    void checksumStore() {
        Database db(dbFile());
        FileObjectPtr a = add(db, "/data/a.txt");
        add(db, "/data/b.txt");
        db.save();
        QVERIFY(!saveFlag());

        const Checksum first = Checksum::make(Digest::SHA256, QString(64, '1'));
        db.checksumStore(a->location(), first);
        expectSaveFlag(true);
        db.save();
        QVERIFY(!saveFlag());

        // The same value again: record and flag untouched (the stored id stays).
        db.checksumStore(a->location(), Checksum::make(Digest::SHA256, QString(64, '1')));
        expectSaveFlag(false);
        QCOMPARE(a->checksums(), QList<Checksum>{first});

        // A new value replaces in place and keeps the record's position.
        db.checksumStore(a->location(), Checksum::make(Digest::MD5, QString(32, 'f')));
        db.checksumStore(a->location(), Checksum::make(Digest::SHA256, QString(64, '2')));
        QCOMPARE(a->checksums().size(), 2);
        QCOMPARE(a->checksums().first().value, QString(64, '2'));
        QCOMPARE(db.indexOf(a->location()), std::optional<std::size_t>(0));
        expectSaveFlag(true);

        db.checksumStore(Location("/data/none.txt"), first);
        QVERIFY(m_log.has("WARNING: File/object not in database; cannot update checksum "
                          "[ Database.checksumStore(location:checksum:) ]"));
    }

    // Removal keeps the others' order, and so do a save and a load; sizes add up.
    void removeSaveLoadKeepOrder() {
        Database db(dbFile());
        for (const char* name : {"d", "c", "b", "a", "e"})
            add(db, QStringLiteral("/data/") + QString::fromUtf8(name), 5120);
        db.remove(OrderedSet<Location>{Location("/data/c"), Location("/data/a"), Location("/data/zz")});
        expectSaveFlag(true);
        db.save();
        // The document's frame, and identifiers in upper case (the keys are checked by the
        // reader tests, which read what the writer writes).
        const QByteArray text = readAll(dbFile());
        QVERIFY(text.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC "
                                "\"-//Apple//DTD PLIST 1.0//EN\""));
        QVERIFY(text.contains("<plist version=\"1.0\">") && !text.contains("<key>base</key>"));
        const QUuid id = db.record(Location("/data/d"))->identifier();
        QVERIFY(
            text.contains("<string>" + id.toString(QUuid::WithoutBraces).toUpper().toUtf8() + "</string>"));
        Database again(dbFile());
        again.load();
        QCOMPARE(again.keys(),
                 (QList<Location>{Location("/data/d"), Location("/data/b"), Location("/data/e")}));
        QCOMPARE(again.totalBytes(), 15360.0);
        QCOMPARE(again.sizeString(), QString("15.0 KB"));
    }

    void filesByDirectory() {
        const QString folder = m_dir.path() + "/folder";
        QDir().mkpath(folder + "/sub");
        Database db(dbFile());
        for (const QString& path : {folder + "/a", folder + "/sub/b", folder + "/c", m_dir.path() + "/d"})
            add(db, path);
        QCOMPARE(db.files().size(), 4);
        QList<QString> paths;
        for (const FileObjectPtr& f : db.files(Location(folder)))
            paths.append(f->path());
        QCOMPARE(paths, (QList<QString>{folder + "/a", folder + "/c"}));

        QVERIFY(writeFile(m_dir.path() + "/plain.txt", "x"));
        QVERIFY(errorThrown<DatabaseException>([&] { db.files(Location(m_dir.path() + "/plain.txt")); }) ==
                DatabaseError::DumpFilterInvalid);
        QVERIFY(QDir(folder).removeRecursively());
        QCOMPARE(db.files(Location(folder)).size(), 2); // a vanished folder still filters
    }

    // purgeChildren() drops a folder's direct children only; reset() empties the map and the file.
    void purgeChildrenThenReset() {
        Database db(dbFile());
        for (const char* path : {"/x/a", "/x/sub/b", "/x/c", "/y/d"})
            add(db, QString::fromUtf8(path));
        db.purgeChildren("/x");
        QCOMPARE(db.keys(), (QList<Location>{Location("/x/sub/b"), Location("/y/d")}));
        db.save();
        db.reset();
        QCOMPARE(db.count(), std::size_t(0));
        QVERIFY(StoreHooks::waitForBackground(5000));
        QCOMPARE(DatabaseCodec::decode(readAll(dbFile())).size(), std::size_t(0));
    }

    void saveWhileChanging() {
        // A writer changes records and the map while saves run; every file written loads back.
        Database db(dbFile());
        for (int i = 0; i < 200; ++i)
            add(db, QString("/data/%1").arg(i));
        std::jthread writer([&](std::stop_token stop) {
            for (int n = 0; !stop.stop_requested(); ++n) {
                db.checksumStore(Location(QString("/data/%1").arg(n % 200)),
                                 Checksum::make(Digest::MD5, QString::number(n)));
                db.remove(OrderedSet<Location>{add(db, QString("/data/new%1").arg(n))->location()});
            }
        });
        for (int i = 0; i < 20; ++i) {
            db.save();
            Database check(dbFile());
            check.load();
            QVERIFY(check.count() >= 200);
        }
    }
};

TREVALIN_TEST_MAIN(TestDatabase)
#include "tst_Database.moc"
