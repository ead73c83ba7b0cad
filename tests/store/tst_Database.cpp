// Content database: the property-list file format (round trips, rejected documents),
// start/load/save with their failure paths, the map operations and the CSV text.
#include "StoreTestSupport.h"
#include "TestMain.h"

#include "model/FileSystemError.h"
#include "store/Database.h"
#include "store/PlistError.h"
#include "store/PlistFile.h"
#include "store/PlistWriter.h"
#include "store/StoreHooks.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>

using namespace trevalin;
using namespace trevalin::test;

namespace {

// One record dictionary in the file format; `drop` leaves one key out.
QByteArray recordXml(const QString& path, const QString& drop = {}) {
    const Location location(path);
    const QList<QPair<QString, QString>> fields{
        {"identifier", "<string>0F2B6C1E-3D4A-4B5C-8D9E-0A1B2C3D4E5F</string>"},
        {"location", "<dict><key>relative</key><string>" + location.urlText() + "</string></dict>"},
        {"path", "<string>" + path + "</string>"},
        {"directory", "<string>" + location.directory() + "</string>"},
        {"prefix", "<string>a</string>"},
        {"suffix", "<string>txt</string>"},
        {"name", "<string>" + location.fileName() + "</string>"},
        {"bytes", "<integer>12</integer>"},
        {"created", "<real>1.5</real>"},
        {"modified", "<real>2.5</real>"},
        {"status", "<string>Processed</string>"},
        {"checksums", "<array/>"},
        {"bookmarked", "<false/>"},
    };
    QString out = "<dict>";
    for (const auto& [key, value] : fields)
        if (key != drop)
            out += "<key>" + key + "</key>" + value;
    return (out + "</dict>").toUtf8();
}

QByteArray urlXml(const QString& path) {
    return "<dict><key>relative</key><string>" + Location(path).urlText().toUtf8() + "</string></dict>";
}

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    LogRecorder m_log;
    QString dbFile() const { return m_dir.path() + "/Trevalin.database.plist"; }
    bool saveFlag() { return StoreHooks::flag(StoreHooks::SubSystem::database, StoreHooks::Flag::save); }

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
        QTest::newRow("one digest") << "#a"
                                    << "0|||a";
        QTest::newRow("five digests, one record") << "#a #a #a #a #a"
                                                  << "0|||a";
        QTest::newRow("replace then digest") << "=b #b"
                                             << "0|||b";
        QTest::newRow("append then digest") << "+c #c"
                                            << "0||c|";
        QTest::newRow("append then remove") << "+c -c"
                                            << "0|||";
        QTest::newRow("change then remove") << "#a -a"
                                            << "0|a||";
        QTest::newRow("remove then append") << "-a +a"
                                            << "0|a|a|";
        QTest::newRow("order of appends") << "+c -a +a #b"
                                          << "0|a|c a|b";
        QTest::newRow("load replaces all") << "#a ! +c"
                                           << "1|||";
    }
    void recordChangesAreBatchedByKey() {
        QFETCH(QString, steps);
        QFETCH(QString, expected);
        QVERIFY(writeFile(dbFile(), plistDocument("<dict><key>db</key><array/></dict>")));
        Database db(dbFile());
        const auto at = [](const QString& name) { return Location("/data/" + name); };
        for (const QString& name : {QStringLiteral("a"), QStringLiteral("b")})
            db.set(at(name), makeRecord(at(name).path()));
        db.flushChanges();
        QSignalSpy spy(&db, &Database::recordsChanged);
        for (const QString& step : steps.split(' ')) {
            const Location key = at(step.mid(1));
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
        const RecordChanges changes = spy.at(0).at(0).value<RecordChanges>();
        const auto names = [](const QList<Location>& keys) {
            QStringList out;
            for (const Location& key : keys)
                out.append(key.fileName());
            return out.join(' ');
        };
        QCOMPARE(QStringList({QString::number(changes.reset), names(changes.removed), names(changes.inserted),
                              names(changes.changed)})
                     .join('|'),
                 expected);
    }

    void manyChangesArriveInFewBatches() {
        // 10,000 records appended and given five digests each: 60,000 changes.
        Database db(dbFile());
        db.setChangeInterval(std::chrono::milliseconds(20));
        QList<RecordChanges> batches;
        connect(&db, &Database::recordsChanged, this, [&](const RecordChanges& c) { batches.append(c); });
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 10000; ++i) {
            const Location key("/data/" + QString::number(i));
            db.set(key, makeRecord(key.path()));
            for (int d = 0; d < 5; ++d)
                db.checksumStore(key, Checksum::make(kAllDigests[d], QString::number(d)));
        }
        const qint64 elapsed = clock.elapsed();
        QVERIFY(QTest::qWaitFor([&] {
            qsizetype n = 0;
            for (const RecordChanges& c : batches)
                n += c.inserted.size();
            return n == 10000;
        }));
        // At most one batch per interval while the changes were made, plus the last one.
        QVERIFY2(batches.size() <= elapsed / 20 + 2, qPrintable(QString::number(batches.size())));
        QStringList order;
        for (const RecordChanges& c : batches) {
            QVERIFY(!c.reset && c.removed.isEmpty());
            for (const Location& key : c.inserted)
                order.append(key.fileName());
        }
        QCOMPARE(order.size(), 10000);
        QCOMPARE(order.first(), "0");
        QCOMPARE(order.last(), "9999");
    }

    void roundTripPaths_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("space") << "a file with spaces.txt";
        QTest::newRow("markup") << "R&D <draft> \"final\" 'v2'.txt";
        QTest::newRow("comma") << "one,two,three.csv";
        QTest::newRow("CR") << QString("carriage\rreturn.txt");
        QTest::newRow("CRLF") << QString("line\r\nend.txt");
        QTest::newRow("LF") << QString("line\nfeed.txt");
        QTest::newRow("tab") << QString("tab\there.txt");
        QTest::newRow("emoji") << QString::fromUtf8("snap \xF0\x9F\x93\xB7 \xC3\xA9t\xC3\xA9.jpg");
        QTest::newRow("url specials") << "100% #1 ?query=a;b.txt";
        QTest::newRow("trailing CR") << QString("ends\r");
        QTest::newRow("leading blanks") << "  padded  ";
    }
    void roundTripPaths() {
        QFETCH(QString, name);
        const QString path = m_dir.path() + "/sub dir/" + name;
        const QList<Checksum> sums{Checksum::make(Digest::SHA512, QString(128, 'b')),
                                   Checksum::make(Digest::MD5, QString(32, 'a'))};
        FileObjectPtr record = makeRecord(path, std::numeric_limits<quint64>::max(), sums);
        record->setBookmarked(true);
        record->setStatus(FileState::Zombie);
        const FileObjectData before = record->snapshot();

        Database db(dbFile());
        QVERIFY(db.set(record->location(), record));
        db.save();
        Database again(dbFile());
        again.load();
        QCOMPARE(again.count(), std::size_t(1));
        const FileObjectPtr loaded = again.record(Location(path));
        QVERIFY(loaded);
        // Every field, the checksums' order and ids, and the times bit for bit.
        QVERIFY(sameData(loaded->snapshot(), before));
    }

    void realsReadBackBitForBit_data() {
        QTest::addColumn<double>("value");
        QTest::newRow("tenth") << 0.1;
        QTest::newRow("negative zero") << -0.0;
        QTest::newRow("tiny") << 1e-300;
        QTest::newRow("denormal") << std::numeric_limits<double>::denorm_min();
        QTest::newRow("max") << std::numeric_limits<double>::max();
        QTest::newRow("timestamp") << 1733480000.1234567;
        QTest::newRow("third") << 1.0 / 3.0;
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
        QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity();
    }
    void realsReadBackBitForBit() {
        QFETCH(double, value);
        FileObjectPtr record = makeRecord(m_dir.path() + "/r.bin");
        record->setCreated(value);
        record->setModified(-value);
        Database db(dbFile());
        db.set(record->location(), record);
        db.save();
        Database again(dbFile());
        again.load();
        const FileObjectPtr loaded = again.record(record->location());
        QVERIFY(sameBits(loaded->created(), value));
        QVERIFY(sameBits(loaded->modified(), -value));
    }

    void fileFormat() {
        Database db(dbFile());
        FileObjectPtr record =
            makeRecord(m_dir.path() + "/x.txt", 42, {Checksum::make(Digest::SHA1, QString(40, 'c'))});
        db.set(record->location(), record);
        db.save();
        const QByteArray text = readAll(dbFile());
        QVERIFY(text.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
        QVERIFY(text.contains("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\""));
        QVERIFY(text.contains("<plist version=\"1.0\">"));
        QVERIFY(!text.contains("<key>base</key>"));
        QVERIFY(text.contains("<integer>42</integer>"));
        QVERIFY(text.contains("<string>" +
                              record->identifier().toString(QUuid::WithoutBraces).toUpper().toUtf8() +
                              "</string>"));
        for (const char* key : {"db", "relative", "bookmarked", "identifier", "location", "path", "directory",
                                "prefix", "suffix", "name", "bytes", "created", "modified", "status",
                                "checksums", "algorithm", "value", "id"})
            QVERIFY2(text.contains(QByteArray("<key>") + key + "</key>"), key);
        // A CR inside a string is written as a character reference.
        FileObjectPtr cr = makeRecord(m_dir.path() + "/a\rb");
        db.set(cr->location(), cr);
        db.save();
        QVERIFY(readAll(dbFile()).contains("a&#13;b"));
        QVERIFY(!readAll(dbFile()).contains('\r'));
    }

    void readerAcceptsAnyLayout() {
        // Keys shuffled, comments, no DOCTYPE, odd white space, a base URL, a hex integer.
        const QString path = m_dir.path() + "/base/file.txt";
        const QByteArray xml =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- written by hand -->\n"
            "<plist version=\"1.0\">\n  <dict>\n<key>other</key><array/>\n"
            "  <key>db</key>\n<array>\n"
            "<dict><key>base</key><dict><key>relative</key><string>file://" +
            QUrl::toPercentEncoding(m_dir.path() + "/base/", "/") +
            "</string></dict><key>relative</key><string>file.txt</string></dict>\n"
            "<dict>\n<key>bookmarked</key><true/><key>checksums</key><array>"
            "<dict><key>value</key><string>abc</string><key>id</key>"
            "<string>0f2b6c1e-3d4a-4b5c-8d9e-0a1b2c3d4e5f</string><key>algorithm</key><string>MD5</string></"
            "dict>"
            "</array><key>status</key><string>Pending</string>"
            "<key>modified</key><real>2</real><key>created</key><real> 1.25 </real>"
            "<key>bytes</key><integer>0x10</integer><key>name</key><string>file.txt</string>"
            "<key>suffix</key><string>txt</string><key>prefix</key><string/>"
            "<key>directory</key><string>" +
            (m_dir.path() + "/base").toUtf8() + "</string><key>path</key><string>" + path.toUtf8() +
            "</string><key>location</key>" + urlXml(path) +
            "<key>identifier</key><string>0F2B6C1E-3D4A-4B5C-8D9E-0A1B2C3D4E5F</string>"
            "<key>unknown</key><dict><key>x</key><date>2020-01-01T00:00:00Z</date></dict>"
            "</dict>\n</array>\n</dict>\n</plist>\n";
        const Database::Map map = DatabaseCodec::decode(xml);
        QCOMPARE(map.size(), std::size_t(1));
        QCOMPARE(map.first()->first.path(), path);
        const FileObjectData d = map.first()->second->snapshot();
        QCOMPARE(d.bytes, quint64(16));
        QCOMPARE(d.created, 1.25);
        QCOMPARE(d.prefix, QString());
        QCOMPARE(d.bookmarked, true);
        QCOMPARE(d.checksums.size(), 1);
        QVERIFY(d.checksums.first().algorithm == Digest::MD5);
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
        auto db = [](const QByteArray& entries) {
            return plistDocument("<dict><key>db</key><array>" + entries + "</array></dict>");
        };
        const QString p1 = "/data/one.txt";
        const QByteArray one = urlXml(p1) + recordXml(p1);
        QByteArray badStatus = recordXml(p1);
        badStatus.replace("<string>Processed</string>", "<string>Done</string>");
        row("empty", QByteArray());
        row("truncated", db(one).left(db(one).size() / 2));
        row("no db key", plistDocument("<dict><key>other</key><array/></dict>"),
            "No value associated with key \"db\"");
        row("odd array", db(one + urlXml("/data/two.txt")),
            "Unkeyed container reached end before value in key-value pair");
        row("duplicate key", db(one + one), "Duplicate key at offset 2");
        row("record without bytes", db(urlXml(p1) + recordXml(p1, "bytes")),
            "No value associated with key \"bytes\"");
        row("record without identifier", db(urlXml(p1) + recordXml(p1, "identifier")),
            "No value associated with key \"identifier\"");
        row("record without bookmarked", db(urlXml(p1) + recordXml(p1, "bookmarked")),
            "No value associated with key \"bookmarked\"");
        row("unknown status", db(urlXml(p1) + badStatus),
            "Cannot initialize FileState from invalid String value Done");
    }
    void rejectedDocuments() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QVERIFY(writeFile(dbFile(), bytes));
        Database db(dbFile());
        FileObjectPtr kept = makeRecord("/data/kept.txt");
        db.set(kept->location(), kept);
        QString movedTo;
        try {
            db.load();
            QFAIL("load() accepted a bad document");
        } catch (const DatabaseException& error) {
            QVERIFY(error.error() == DatabaseError::LoadDatabaseError);
            movedTo = error.movedTo();
        }
        QVERIFY(m_log.has("ERROR: Loading/parsing content database failed  [ Database.load() ]"));
        if (!reason.isEmpty())
            QVERIFY2(m_log.hasPrefix("ERROR: " + reason), qPrintable(m_log.lines().join('\n')));
        // Memory untouched; the bad file kept aside byte for byte.
        QCOMPARE(db.count(), std::size_t(1));
        QVERIFY(db.contains(kept->location()));
        QVERIFY(!QFile::exists(dbFile()));
        QCOMPARE(asideCopies(dbFile()), QStringList{movedTo});
        QCOMPARE(readAll(movedTo), bytes);
        QVERIFY(m_log.has("ERROR: Unreadable file moved aside to " + movedTo + " [ Database.load() ]"));
    }

    void everyCorruptCopyIsKept() {
        // Three bad files within the same second: none may replace another.
        Database db(dbFile());
        QSet<QByteArray> kept;
        for (const QByteArray& bytes : {QByteArray("first"), QByteArray("second"), QByteArray("third")}) {
            QVERIFY(writeFile(dbFile(), bytes));
            QVERIFY_THROWS_EXCEPTION(DatabaseException, db.load());
        }
        const QStringList copies = asideCopies(dbFile());
        QCOMPARE(copies.size(), 3);
        for (const QString& copy : copies) {
            QVERIFY2(QFileInfo(copy).fileName().startsWith("Trevalin.database.plist.corrupt-20"),
                     qPrintable(copy));
            kept.insert(readAll(copy));
        }
        QCOMPARE(kept, (QSet<QByteArray>{"first", "second", "third"}));
    }

    void startWithoutFile() {
        Database db(dbFile());
        db.start();
        QVERIFY(m_log.has("WARNING: The content database file could not be opened [ Database.load() ]"));
        QVERIFY(StoreHooks::flag(StoreHooks::SubSystem::database, StoreHooks::Flag::ready));
        QVERIFY(QFile::exists(dbFile()));
        QCOMPARE(DatabaseCodec::decode(readAll(dbFile())).size(), std::size_t(0));
        QVERIFY(m_log.has("INFO: Save operation; database content written to storage [ Database.save() ]"));
    }

    void loadMissingFileThrowsNotReadable() {
        Database db(dbFile());
        try {
            db.load();
            QFAIL("no exception");
        } catch (const FileSystemException& error) {
            QVERIFY(error.error() == FileSystemError::NotReadable);
        }
    }

    void startWithOddArrayReplacesFile() {
        const QString p = "/data/a.txt";
        const QByteArray bad = plistDocument("<dict><key>db</key><array>" + urlXml(p) + recordXml(p) +
                                             urlXml(p) + "</array></dict>");
        QVERIFY(writeFile(dbFile(), bad));
        Database db(dbFile());
        db.start();
        QVERIFY(StoreHooks::flag(StoreHooks::SubSystem::database, StoreHooks::Flag::ready));
        QCOMPARE(DatabaseCodec::decode(readAll(dbFile())).size(), std::size_t(0));
        QCOMPARE(asideCopies(dbFile()).size(), 1);
        QCOMPARE(readAll(asideCopies(dbFile()).constFirst()), bad);
    }

    void loadKeepsOrderAndReportsSize() {
        Database db(dbFile());
        for (int i = 0; i < 5; ++i) {
            FileObjectPtr r = makeRecord(QString("/data/%1.txt").arg(4 - i), 1024 * (i + 1));
            db.set(r->location(), r);
        }
        db.save();
        Database again(dbFile());
        again.load();
        QCOMPARE(again.keys(), db.keys());
        QCOMPARE(again.totalBytes(), 15360.0);
        QCOMPARE(again.sizeString(), QString("15.0 KB"));
        QVERIFY(m_log.has(QString("INFO: Successfully loaded [ 5 ] database records from plist file [ %1 ] "
                                  "[ Database.load() ]")
                              .arg(Location(dbFile()).urlText())));
    }

    void unsafePathsRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("storable");
        QTest::newRow("tab") << QString("a\tb") << true;
        QTest::newRow("LF") << QString("a\nb") << true;
        QTest::newRow("CR") << QString("a\rb") << true;
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
        QCOMPARE(Database::isStorable(location), storable);
        Database db(dbFile());
        FileObjectPtr r = makeRecord(location.path());
        QCOMPARE(db.set(location, r), storable);
        QCOMPARE(db.contains(location), storable);
        if (!storable)
            QVERIFY(m_log.hasPrefix("ERROR: Location cannot be stored in the content database: "));
        db.save();
        Database again(dbFile());
        again.load(); // the file always reads back
        QCOMPARE(again.count(), std::size_t(storable ? 1 : 0));
    }

    void nativePathBytes() {
        QVERIFY(PlistFile::isPropertyListSafe(QByteArray("/tmp/\xc3\xa9t\xc3\xa9")));
        QVERIFY(!PlistFile::isPropertyListSafe(QByteArray("/tmp/\xff\xfe")));
        QVERIFY(!PlistFile::isPropertyListSafe(QByteArray("/tmp/\xc3")));
        QVERIFY(!PlistFile::isPropertyListSafe(QByteArray("/tmp/a\x02")));
        QVERIFY(PlistFile::isPropertyListSafe(QByteArray("/tmp/a\tb\nc\rd")));
    }

    void crashBeforeRenameKeepsOldFile() {
        Database db(dbFile());
        FileObjectPtr r = makeRecord("/data/old.txt", 7);
        db.set(r->location(), r);
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
        Database again(dbFile());
        again.load();
        QCOMPARE(again.count(), std::size_t(1));
    }

    void failedSaveKeepsFlagAndRetries() {
        // Root ignores permissions, so the failure is made real by a folder in the way.
        QVERIFY(QDir().mkpath(dbFile()));
        QVERIFY(QDir().mkpath(dbFile() + "/blocker"));
        Database db(dbFile());
        FileObjectPtr r = makeRecord("/data/x.txt");
        db.set(r->location(), r);
        db.markDatabaseModified();
        QVERIFY(StoreHooks::waitForBackground(5000));
        QVERIFY(saveFlag());
        m_log.clear();
        try {
            db.save();
            QFAIL("save() succeeded over a folder");
        } catch (const DatabaseException& error) {
            QVERIFY(error.error() == DatabaseError::SaveDatabaseError);
            // The caller can say which file and why.
            QVERIFY2(error.detail().contains(dbFile()), qPrintable(error.detail()));
        }
        QVERIFY(!m_log.lines().isEmpty());
        QVERIFY(m_log.lines().first().startsWith("ERROR: "));
        QVERIFY(saveFlag());
        QVERIFY(QDir(dbFile()).removeRecursively());
        db.save();
        QVERIFY(!saveFlag());
        Database again(dbFile());
        again.load();
        QCOMPARE(again.count(), std::size_t(1));
    }

    void resetWritesEmptyFile() {
        Database db(dbFile());
        FileObjectPtr r = makeRecord("/data/x.txt");
        db.set(r->location(), r);
        db.save();
        db.reset();
        QCOMPARE(db.count(), std::size_t(0));
        QVERIFY(StoreHooks::waitForBackground(5000));
        QCOMPARE(DatabaseCodec::decode(readAll(dbFile())).size(), std::size_t(0));
    }

    void checksumStore() {
        Database db(dbFile());
        FileObjectPtr a = makeRecord("/data/a.txt");
        FileObjectPtr b = makeRecord("/data/b.txt");
        db.set(a->location(), a);
        db.set(b->location(), b);
        db.save();
        QVERIFY(!saveFlag());

        const Checksum first = Checksum::make(Digest::SHA256, QString(64, '1'));
        db.checksumStore(a->location(), first);
        QVERIFY(StoreHooks::waitForBackground(5000));
        QVERIFY(saveFlag());
        db.save();
        QVERIFY(!saveFlag());

        // The same value again: record and flag untouched (the stored id stays).
        db.checksumStore(a->location(), Checksum::make(Digest::SHA256, QString(64, '1')));
        QVERIFY(StoreHooks::waitForBackground(5000));
        QVERIFY(!saveFlag());
        QCOMPARE(a->checksums(), QList<Checksum>{first});

        // A new value replaces in place and keeps the record's position.
        db.checksumStore(a->location(), Checksum::make(Digest::MD5, QString(32, 'f')));
        db.checksumStore(a->location(), Checksum::make(Digest::SHA256, QString(64, '2')));
        QCOMPARE(a->checksums().size(), 2);
        QCOMPARE(a->checksums().first().value, QString(64, '2'));
        QCOMPARE(db.indexOf(a->location()), std::optional<std::size_t>(0));
        QVERIFY(StoreHooks::waitForBackground(5000));
        QVERIFY(saveFlag());

        db.checksumStore(Location("/data/none.txt"), first);
        QVERIFY(m_log.has("WARNING: File/object not in database; cannot update checksum "
                          "[ Database.checksumStore(location:checksum:) ]"));
    }

    void removeKeepsOrder() {
        Database db(dbFile());
        for (const char* name : {"a", "b", "c", "d"}) {
            FileObjectPtr r = makeRecord(QStringLiteral("/data/") + QString::fromUtf8(name));
            db.set(r->location(), r);
        }
        db.remove(OrderedSet<Location>{Location("/data/c"), Location("/data/a"), Location("/data/zz")});
        QCOMPARE(db.keys(), (QList<Location>{Location("/data/b"), Location("/data/d")}));
        QVERIFY(m_log.has("VERBOSE: Database records to remove: 3"));
        QVERIFY(StoreHooks::waitForBackground(5000));
        QVERIFY(saveFlag());
    }

    void filesByDirectory() {
        const QString folder = m_dir.path() + "/folder";
        QDir().mkpath(folder + "/sub");
        Database db(dbFile());
        for (const QString& path : {folder + "/a", folder + "/sub/b", folder + "/c", m_dir.path() + "/d"}) {
            FileObjectPtr r = makeRecord(path);
            db.set(r->location(), r);
        }
        QCOMPARE(db.files().size(), 4);
        QList<QString> paths;
        for (const FileObjectPtr& f : db.files(Location(folder)))
            paths.append(f->path());
        QCOMPARE(paths, (QList<QString>{folder + "/a", folder + "/c"}));

        QVERIFY(writeFile(m_dir.path() + "/plain.txt", "x"));
        try {
            db.files(Location(m_dir.path() + "/plain.txt"));
            QFAIL("a file was accepted as folder filter");
        } catch (const DatabaseException& error) {
            QVERIFY(error.error() == DatabaseError::DumpFilterInvalid);
        }
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
        for (const char* path : {"/x/a", "/x/sub/b", "/x/c", "/y/d"}) {
            FileObjectPtr r = makeRecord(QString::fromUtf8(path));
            db.set(r->location(), r);
        }
        db.purgeChildren("/x");
        QCOMPARE(db.keys(), (QList<Location>{Location("/x/sub/b"), Location("/y/d")}));
    }

    void saveWhileChanging() {
        // Writers change records and the map while saves run; every file written loads back.
        Database db(dbFile());
        for (int i = 0; i < 200; ++i) {
            FileObjectPtr r = makeRecord(QString("/data/%1").arg(i));
            db.set(r->location(), r);
        }
        std::atomic<bool> stop{false};
        QThread* writer = QThread::create([&] {
            int n = 0;
            while (!stop) {
                const Location l(QString("/data/%1").arg(n % 200));
                db.checksumStore(l, Checksum::make(Digest::MD5, QString::number(n)));
                FileObjectPtr r = makeRecord(QString("/data/new%1").arg(n));
                db.set(r->location(), r);
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
