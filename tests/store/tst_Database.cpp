// Content database: the change reports, the property-list file (round trips, rejected
// documents), start/load/save with their failure paths, and the map operations.
#include "StoreTestSupport.h"
#include "TestMain.h"

#include "store/Database.h"
#include "store/PlistFile.h"
#include "store/PlistWriter.h"
#include "store/StoreHooks.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <limits>

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
        row("one digest", "#a", "0|||a");
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
        if (spy.isEmpty())
            return;
        const RecordChanges c = spy.at(0).at(0).value<RecordChanges>();
        QCOMPARE(
            QStringList({QString::number(c.reset), names(c.removed), names(c.inserted), names(c.changed)})
                .join('|'),
            expected);
    }

    void manyChangesArriveInFewBatches() {
        // 10,000 records appended and given five digests each: 60,000 changes.
        Database db(dbFile());
        db.setChangeInterval(std::chrono::milliseconds(20));
        int batches = 0;
        bool onlyInserts = true;
        QStringList order;
        connect(&db, &Database::recordsChanged, this, [&](const RecordChanges& c) {
            ++batches;
            onlyInserts = onlyInserts && !c.reset && c.removed.isEmpty();
            for (const Location& key : c.inserted)
                order.append(key.fileName());
        });
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 10000; ++i) {
            const Location key("/data/" + QString::number(i));
            db.set(key, makeRecord(key.path()));
            for (int d = 0; d < 5; ++d)
                db.checksumStore(key, Checksum::make(kAllDigests[d], QString::number(d)));
        }
        const qint64 elapsed = clock.elapsed();
        QVERIFY(QTest::qWaitFor([&] { return order.size() >= 10000; }));
        // At most one batch per interval while the changes were made, plus the last one.
        QVERIFY2(batches <= elapsed / 20 + 2, qPrintable(QString::number(batches)));
        QVERIFY(onlyInserts);
        QCOMPARE(order.size(), 10000);
        QCOMPARE(order.first(), "0");
        QCOMPARE(order.last(), "9999");
    }

    // Every field survives a save and a load: the checksums' order and ids, the times bit
    // for bit (-0.0, denormals, infinities), paths that stress escaping and URL coding.
    void roundTrip_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("time"); // created; modified is its negation
        const auto row = [](const char* tag, const QString& name, double time = 1733480000.1234567) {
            QTest::newRow(tag) << name << time;
        };
        row("space", "a file with spaces.txt");
        row("markup", "R&D <draft> \"final\" 'v2'.txt");
        row("comma", "one,two,three.csv");
        row("CR", "carriage\rreturn.txt");
        row("LF", "line\nfeed.txt");
        row("tab", "tab\there.txt");
        row("emoji", QString::fromUtf8("snap \xF0\x9F\x93\xB7 \xC3\xA9t\xC3\xA9.jpg"));
        row("url specials", "100% #1 ?query=a;b.txt");
        row("leading blanks", "  padded  ");
        row("tenth", "r.bin", 0.1);
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
        QVERIFY(loaded);
        QVERIFY(sameData(loaded->snapshot(), record->snapshot()));
    }

    // The document's frame and the identifier's form (the keys are checked by the round
    // trip above against the hand-written records of the reader tests).
    void fileFormat() {
        Database db(dbFile());
        const FileObjectPtr record = add(db, m_dir.path() + "/x.txt");
        db.save();
        const QByteArray text = readAll(dbFile());
        QVERIFY(text.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC "
                                "\"-//Apple//DTD PLIST 1.0//EN\""));
        QVERIFY(text.contains("<plist version=\"1.0\">"));
        QVERIFY(!text.contains("<key>base</key>"));
        QVERIFY(text.contains("<key>identifier</key><string>" +
                              record->identifier().toString(QUuid::WithoutBraces).toUpper().toUtf8() +
                              "</string>"));
    }

    // What the general reader takes from a hand-written file, value by value: a base URL,
    // a hexadecimal integer, a padded real, comments, unknown keys in the record and root.
    void readerAcceptsAnyLayout() {
        const QString path = m_dir.path() + "/base/file.txt";
        const QByteArray base = "<dict><key>base</key>" +
                                urlXml("file://" + QUrl::toPercentEncoding(m_dir.path() + "/base/", "/")) +
                                "<key>relative</key><string>file.txt</string></dict>";
        const QByteArray record =
            recordXml(Location(path).urlText().toUtf8(), path.toUtf8(),
                      "<key>bytes</key><integer>0x10</integer><key>created</key><real> 1.25 "
                      "</real><key>bookmarked</key><true/><key>x</key><dict><key>y</key>"
                      "<date>2020-01-01T00:00:00Z</date></dict>");
        const Database::Map map =
            DatabaseCodec::decode("<!-- by hand -->\n<plist version=\"1.0\">\n<dict><key>other</key><array/>"
                                  "<key>db</key><array>\n" +
                                  base + "\n" + record + "</array></dict></plist>\n");
        QCOMPARE(map.size(), std::size_t(1));
        QCOMPARE(map.first()->first.path(), path);
        const FileObjectData d = map.first()->second->snapshot();
        QCOMPARE(d.bytes, quint64(16));
        QCOMPARE(d.created, 1.25);
        QCOMPARE(d.bookmarked, true);
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
        row("record without identifier",
            without("<key>identifier</key><string>0F2B6C1E-3D4A-4B5C-8D9E-0A1B2C3D4E5F</string>"),
            "No value associated with key \"identifier\"");
        row("record without bookmarked", without("<key>bookmarked</key><false/>"),
            "No value associated with key \"bookmarked\"");
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
        QCOMPARE(db.count(), std::size_t(1));
        QVERIFY(db.contains(kept->location()));
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
        QVERIFY(QFile::exists(dbFile())); // the fallback save wrote an empty database
        QCOMPARE(DatabaseCodec::decode(readAll(dbFile())).size(), std::size_t(0));
        QCOMPARE(m_log.has("WARNING: The content database file could not be opened [ Database.load() ]"),
                 bytes.isEmpty());
    }

    void loadKeepsOrderAndReportsSize() {
        Database db(dbFile());
        for (int i = 0; i < 5; ++i)
            add(db, QString("/data/%1.txt").arg(4 - i), 1024 * (i + 1));
        db.save();
        Database again(dbFile());
        again.load();
        QCOMPARE(again.keys(), db.keys());
        QCOMPARE(again.totalBytes(), 15360.0);
        QCOMPARE(again.sizeString(), QString("15.0 KB"));
    }

    void unsafePathsRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("storable");
        QTest::newRow("SOH") << QString("a") + QChar(0x01) + "b" << false;
        QTest::newRow("ESC") << QString("a\x1b[31mred") << false;
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
        QCOMPARE(db.contains(location), storable);
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

    // A failed save (a folder in the way: root ignores permissions) names the file and
    // keeps the flag; the next one writes.
    void failedSaveKeepsFlagAndRetries() {
        QVERIFY(QDir().mkpath(dbFile() + "/blocker"));
        Database db(dbFile());
        add(db, "/data/x.txt");
        db.markDatabaseModified();
        expectSaveFlag(true);
        try {
            db.save();
            QFAIL("save() succeeded over a folder");
        } catch (const DatabaseException& error) {
            QVERIFY(error.error() == DatabaseError::SaveDatabaseError);
            QVERIFY2(error.detail().contains(dbFile()), qPrintable(error.detail()));
        }
        QVERIFY(m_log.hasPrefix("ERROR: "));
        QVERIFY(saveFlag());
        QVERIFY(QDir(dbFile()).removeRecursively());
        db.save();
        QVERIFY(!saveFlag());
        QCOMPARE(DatabaseCodec::decode(readAll(dbFile())).size(), std::size_t(1));
    }

    void resetWritesEmptyFile() {
        Database db(dbFile());
        add(db, "/data/x.txt");
        db.save();
        db.reset();
        QCOMPARE(db.count(), std::size_t(0));
        QVERIFY(StoreHooks::waitForBackground(5000));
        QCOMPARE(DatabaseCodec::decode(readAll(dbFile())).size(), std::size_t(0));
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

    void removeKeepsOrder() {
        Database db(dbFile());
        for (const char* name : {"a", "b", "c", "d"})
            add(db, QStringLiteral("/data/") + QString::fromUtf8(name));
        db.remove(OrderedSet<Location>{Location("/data/c"), Location("/data/a"), Location("/data/zz")});
        QCOMPARE(db.keys(), (QList<Location>{Location("/data/b"), Location("/data/d")}));
        expectSaveFlag(true);
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
        QVERIFY(m_log.has(
            "ERROR: Directory dump request included a filter parameter that was not a directory URL "
            "[ Database.files(directory:) ]"));
        QVERIFY(QDir(folder).removeRecursively());
        QCOMPARE(db.files(Location(folder)).size(), 2);
        QVERIFY(m_log.has("WARNING: A directory location did not exist; possibly moved or deleted "
                          "[ Database.files(directory:) ]"));
    }

    void purgeChildren() {
        Database db(dbFile());
        for (const char* path : {"/x/a", "/x/sub/b", "/x/c", "/y/d"})
            add(db, QString::fromUtf8(path));
        db.purgeChildren("/x");
        QCOMPARE(db.keys(), (QList<Location>{Location("/x/sub/b"), Location("/y/d")}));
    }

    void saveWhileChanging() {
        // Writers change records and the map while saves run; every file written loads back.
        Database db(dbFile());
        for (int i = 0; i < 200; ++i)
            add(db, QString("/data/%1").arg(i));
        std::atomic<bool> stop{false};
        QThread* writer = QThread::create([&] {
            int n = 0;
            while (!stop) {
                const Location l(QString("/data/%1").arg(n % 200));
                db.checksumStore(l, Checksum::make(Digest::MD5, QString::number(n)));
                FileObjectPtr r = add(db, QString("/data/new%1").arg(n));
                db.remove(OrderedSet<Location>{r->location()});
                ++n;
            }
        });
        writer->start();
        for (int i = 0; i < 20; ++i) {
            db.save();
            Database check(dbFile());
            check.load();
            QVERIFY(check.count() >= 200);
        }
        stop = true;
        writer->wait();
        delete writer;
    }
};

TREVALIN_TEST_MAIN(TestDatabase)
#include "tst_Database.moc"
