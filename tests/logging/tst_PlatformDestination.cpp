// Tests of the platform upload destination against a real HTTP server on
// 127.0.0.1: encryption known answers, the request's headers and payload, the
// point arithmetic, failure handling that keeps every entry on disk, left-overs
// from an earlier run, and the single upload in flight.
#include "HttpResponder.h"
#include "LogTestSupport.h"
#include "TestMain.h"

#include "logging/Logger.h"
#include "logging/PayloadCipher.h"
#include "logging/PlatformDestination.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QUuid>

#include <openssl/evp.h>

using namespace trevalin;
using trevalin::test::HttpResponder;

namespace {

const QString kAppID = QStringLiteral("Ab3De6");
const QString kSecret = QStringLiteral("S3cr3tS3cr3tS3cr3tS3cr3tS3cr3t12");
const QString kKey = QStringLiteral("R7tW2qLx9MzK4vN8bC3pY6hJ5sD1gF0e");
constexpr int kWait = 5000; // upper bound for network round trips on 127.0.0.1

QByteArray decrypt(const QByteArray& cipher, const QByteArray& key, const QByteArray& iv) {
    const auto in = [](const QByteArray& b) { return reinterpret_cast<const unsigned char*>(b.constData()); };
    QByteArray out(cipher.size() + 32, Qt::Uninitialized);
    auto* to = reinterpret_cast<unsigned char*>(out.data());
    int written = 0, last = 0;
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    const bool ok = EVP_DecryptInit_ex(context, EVP_aes_256_cbc(), nullptr, in(key), in(iv)) == 1 &&
                    EVP_DecryptUpdate(context, to, &written, in(cipher), int(cipher.size())) == 1 &&
                    EVP_DecryptFinal_ex(context, to + written, &last) == 1;
    EVP_CIPHER_CTX_free(context);
    return ok ? out.left(written + last) : QByteArray();
}

// The decrypted payload of one upload request, or an empty object.
QJsonObject openPayload(const HttpResponder::Request& request) {
    const QByteArray payload =
        QJsonDocument::fromJson(request.body).object().value(QStringLiteral("payload")).toString().toLatin1();
    const QByteArray iv = payload.left(PayloadCipher::ivLength);
    const QByteArray cipher =
        QByteArray::fromBase64(payload.mid(PayloadCipher::ivLength), QByteArray::AbortOnBase64DecodingErrors);
    return QJsonDocument::fromJson(decrypt(cipher, kKey.toUtf8(), iv)).object();
}

// The messages of the entries in upload `index`.
QStringList sent(const HttpResponder& server, int index) {
    QStringList messages;
    for (const QJsonValue& entry :
         openPayload(server.requests().at(index)).value(QStringLiteral("entries")).toArray())
        messages.append(entry.toObject().value(QStringLiteral("message")).toString());
    return messages;
}

// Whether the server has seen `count` requests and the destination is idle again.
bool settled(const HttpResponder& server, const PlatformDestination& destination, int count) {
    return QTest::qWaitFor(
        [&] { return server.requests().size() == count && !destination.sendingInProgress(); }, kWait);
}

int lineCount(const QString& path) {
    QList<QByteArray> lines = test::readAll(path).split('\n');
    lines.removeAll(QByteArray());
    return int(lines.size());
}

QByteArray entryLine(const QString& message) {
    return QJsonDocument(QJsonObject{{QStringLiteral("timestamp"), 1700000000.5},
                                     {QStringLiteral("level"), 2},
                                     {QStringLiteral("message"), message},
                                     {QStringLiteral("thread"), QString()},
                                     {QStringLiteral("fileName"), QStringLiteral("Earlier.cpp")},
                                     {QStringLiteral("function"), QStringLiteral("run()")},
                                     {QStringLiteral("line"), 7}})
               .toJson(QJsonDocument::Compact) +
           '\n';
}

using Levels = QList<Level>;

} // namespace

class PlatformDestinationTest : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<PlatformDestination> make(const QUrl& url, const QString& key = kKey) {
        auto destination = std::make_shared<PlatformDestination>(kAppID, kSecret, key, url);
        destination->setFormat(QStringLiteral("$L: $M"));
        return destination;
    }
    // Stores one entry on the destination's queue, as the Logger does, and waits for it.
    static void store(PlatformDestination& destination, Level level, const QString& message) {
        const LogEntry entry = test::makeEntry(level, message, 1700000000123456);
        destination.queue().sync([&] { destination.send(entry); });
    }
    static QString folder() { return PlatformDestination::defaultFolderPath(); }
    // Leaves a file as an earlier run would have.
    static bool leave(const char* name, const QByteArray& data) {
        return QDir().mkpath(folder()) && test::writeFile(folder() + u'/' + QLatin1String(name), data);
    }

private slots:
    void cleanup() {
        Logger::removeAllDestinations();
        QDir(folder()).removeRecursively();
    }

    void encryptKnownAnswer_data() {
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("expected");
        // Vectors made with: openssl enc -aes-256-cbc -K <hex of key> -iv <hex of IV> -base64
        QTest::newRow("empty") << QByteArray() << QByteArray("Yv32rzjBSwhwAhaGbNUSHw==");
        QTest::newRow("json") << QByteArray("{\"entries\":[]}") << QByteArray("z/a9U4VBSCb70AzFHlCWpQ==");
        QTest::newRow("one full block")
            << QByteArray("0123456789abcdef") << QByteArray("RJOMGgIgcjVFWwY0L0o9+9R7rSlqYxTECKTB8r/96Po=");
    }
    void encryptKnownAnswer() {
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, expected);
        const std::optional<QByteArray> cipher =
            PayloadCipher::encrypt(plain, kKey.toUtf8(), QByteArrayLiteral("abcdEFGH01234567"));
        QVERIFY(cipher);
        QCOMPARE(cipher->toBase64(), expected);
    }

    void encryptRefusesBadSizes_data() {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("iv");
        QTest::newRow("key 31") << kKey.toUtf8().left(31) << QByteArray("abcdEFGH01234567");
        QTest::newRow("key 33") << kKey.toUtf8() + "x" << QByteArray("abcdEFGH01234567");
        QTest::newRow("iv 15") << kKey.toUtf8() << QByteArray("abcdEFGH0123456");
        // 32 characters, but 33 bytes in UTF-8.
        QTest::newRow("key 32 chars non-ASCII")
            << (QStringLiteral("é") + kKey.mid(1)).toUtf8() << QByteArray("abcdEFGH01234567");
    }
    void encryptRefusesBadSizes() {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, iv);
        QVERIFY(!PayloadCipher::encrypt("text", key, iv));
    }

    void randomIVIsFreshAndAlphanumeric() {
        QSet<QByteArray> seen;
        for (int i = 0; i < 200; ++i)
            seen.insert(PayloadCipher::randomIV());
        QCOMPARE(seen.size(), 200);
        const QRegularExpression alphanumeric(QStringLiteral("^[A-Za-z0-9]{16}$"));
        for (const QByteArray& iv : seen)
            QVERIFY2(alphanumeric.match(QString::fromLatin1(iv)).hasMatch(), iv.constData());
    }

    void analyticsRecordCountsStarts() {
        QJsonObject first;
        {
            auto destination = make(QUrl());
            first = QJsonDocument::fromJson(test::readAll(destination->analyticsFilePath())).object();
            QStringList keys = first.keys();
            keys.sort();
            QCOMPARE(keys, (QStringList{"appBuild", "appVersion", "firstAppVersion", "firstStart",
                                        "lastStart", "starts", "userName", "uuid"}));
            QCOMPARE(first.value("starts").toInt(), 1);
            QVERIFY(!QUuid::fromString(first.value("uuid").toString()).isNull());
            QCOMPARE(destination->uuid(), first.value("uuid").toString());
            QVERIFY(QDateTime::fromString(first.value("firstStart").toString(), Qt::ISODate).isValid());
            QCOMPARE(first.value("lastStart"), first.value("firstStart"));
        }
        auto again = make(QUrl());
        const QJsonObject record =
            QJsonDocument::fromJson(test::readAll(again->analyticsFilePath())).object();
        QCOMPARE(record.value("starts").toInt(), 2);
        QCOMPARE(record.value("uuid"), first.value("uuid"));
        QCOMPARE(record.value("firstStart"), first.value("firstStart"));
    }

    void corruptAnalyticsRecordIsReplaced() {
        QVERIFY(leave(PlatformDestination::analyticsFileName, "{not json"));
        auto destination = make(QUrl());
        QCOMPARE(destination->analytics().value("starts").toInt(), 1);
        QVERIFY(!destination->uuid().isEmpty());
    }

    // The whole way through the Logger: three entries (8 + 1 + 5 points) reach the
    // threshold on the third and go out as one encrypted batch. The entries carry the
    // logging macro's file and function.
    void uploadCarriesExactlyTheEntries() {
        HttpResponder server;
        auto destination = make(server.url());
        Logger::addDestination(destination);

        TLOG_WARNING(QStringLiteral("first"));
        TLOG_DEBUG(QStringLiteral("second"));
        TLOG_INFO(QStringLiteral("third \"quoted\" ünïcode"));
        QVERIFY(Logger::flush(5));
        QVERIFY(settled(server, *destination, 1));

        const HttpResponder::Request& request = server.requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QByteArray("/api/v1/app/"));
        QCOMPARE(request.headers.value("content-type"), QByteArray("application/json"));
        QCOMPARE(request.headers.value("accept"), QByteArray("application/json"));
        QCOMPARE(request.headers.value("authorization"),
                 "Basic " + QByteArray("Ab3De6:S3cr3tS3cr3tS3cr3tS3cr3tS3cr3t12").toBase64());
        const QJsonObject body = QJsonDocument::fromJson(request.body).object();
        QCOMPARE(body.keys(), QStringList{"payload"});
        QVERIFY(QRegularExpression(QStringLiteral("^[A-Za-z0-9]{16}[A-Za-z0-9+/]+=*$"))
                    .match(body.value("payload").toString())
                    .hasMatch());

        const QJsonObject payload = openPayload(request);
        const QJsonObject device = payload.value("device").toObject();
        QCOMPARE(device.value("os").toString(), QStringLiteral("Linux"));
        QCOMPARE(device.value("uuid").toString(), destination->uuid());
        const QJsonArray entries = payload.value("entries").toArray();
        QCOMPARE(entries.size(), 3);
        const QStringList words{"WARNING: first", "DEBUG: second", "INFO: third \"quoted\" ünïcode"};
        const QList<int> levels{3, 1, 2};
        for (int i = 0; i < 3; ++i) {
            QJsonObject entry = entries.at(i).toObject();
            QVERIFY(entry.take("line").toInt() > 0);
            QVERIFY(qAbs(entry.take("timestamp").toDouble() - QDateTime::currentSecsSinceEpoch()) < 60);
            QCOMPARE(entry, (QJsonObject{{"level", levels.at(i)},
                                         {"message", words.at(i)},
                                         {"fileName", "tst_PlatformDestination.cpp"},
                                         {"function", "uploadCarriesExactlyTheEntries"},
                                         {"thread", ""}}));
        }
        // Sent and acknowledged: nothing is left to send.
        QVERIFY(!QFileInfo::exists(destination->sendingFilePath()));
        QVERIFY(!QFileInfo::exists(destination->entriesFilePath()));
        QCOMPARE(destination->points(), 0);
    }

    void pointArithmetic_data() {
        QTest::addColumn<int>("threshold");
        QTest::addColumn<int>("errorWeight");
        QTest::addColumn<Levels>("levels");
        QTest::addColumn<int>("uploadedEntries"); // 0: no upload
        QTest::addColumn<int>("pointsAfter");
        const Level V = Level::Verbose, D = Level::Debug, I = Level::Info, W = Level::Warning,
                    E = Level::Error;
        QTest::newRow("8+1+5 reaches 10 on the third") << 10 << 10 << Levels{W, D, I} << 3 << 0;
        QTest::newRow("5+1+1+1 stays below 10") << 10 << 10 << Levels{I, D, D, D} << 0 << 8;
        QTest::newRow("error alone reaches 10") << 10 << 10 << Levels{E} << 1 << 0;
        QTest::newRow("verbose weighs nothing")
            << 10 << 10 << Levels{V, V, V, V, V, V, V, V, V, V, V} << 0 << 0;
        QTest::newRow("threshold 0 is raised to 1") << 0 << 10 << Levels{V, V, D} << 3 << 0;
        QTest::newRow("negative threshold is raised to 1") << -5 << 10 << Levels{D} << 1 << 0;
        QTest::newRow("threshold 5000 is lowered to 1000") << 5000 << 400 << Levels{E, E, E} << 3 << 0;
        QTest::newRow("threshold 1000 needs 1000") << 1000 << 400 << Levels{E, E} << 0 << 800;
    }
    void pointArithmetic() {
        QFETCH(int, threshold);
        QFETCH(int, errorWeight);
        QFETCH(Levels, levels);
        QFETCH(int, uploadedEntries);
        QFETCH(int, pointsAfter);

        HttpResponder server;
        auto destination = make(server.url());
        QVERIFY(!destination->initialSending()); // nothing left from an earlier run
        SendingPoints points;
        points.threshold = threshold;
        points.error = errorWeight;
        destination->setSendingPoints(points);

        for (int i = 0; i < levels.size(); ++i) {
            // Only the last entry may start an upload.
            QVERIFY(!destination->sendingInProgress());
            store(*destination, levels.at(i), QStringLiteral("entry %1").arg(i));
        }
        QCOMPARE(destination->points(), pointsAfter);
        if (uploadedEntries == 0) {
            QVERIFY(!destination->sendingInProgress());
            QCOMPARE(lineCount(destination->entriesFilePath()), levels.size());
            QCOMPARE(server.requests().size(), 0);
            return;
        }
        QVERIFY(settled(server, *destination, 1));
        QCOMPARE(sent(server, 0).size(), uploadedEntries);
    }

    void serverErrorKeepsBatchAndRetriesItFirst() {
        HttpResponder server;
        server.setStatus(500);
        auto destination = make(server.url());

        test::OutputCapture capture;
        store(*destination, Level::Error, QStringLiteral("one"));
        QVERIFY(settled(server, *destination, 1));
        QVERIFY(capture.text().contains(
            QStringLiteral("Error! Sending entries to server failed with status code 500")));
        // The failed batch stays on disk.
        QCOMPARE(lineCount(destination->sendingFilePath()), 1);

        server.setStatus(200);
        store(*destination, Level::Warning, QStringLiteral("two"));
        QVERIFY(!destination->sendingInProgress());
        store(*destination, Level::Error, QStringLiteral("three"));
        QVERIFY(settled(server, *destination, 2));
        // The retried batch goes out alone, before the newer entries.
        QCOMPARE(sent(server, 0), QStringList{"ERROR: one"});
        QCOMPARE(sent(server, 1), QStringList{"ERROR: one"});
        QVERIFY(!QFileInfo::exists(destination->sendingFilePath()));
        QCOMPARE(lineCount(destination->entriesFilePath()), 2);

        store(*destination, Level::Error, QStringLiteral("four"));
        QVERIFY(settled(server, *destination, 3));
        QCOMPARE(sent(server, 2), (QStringList{"WARNING: two", "ERROR: three", "ERROR: four"}));
        QVERIFY(!QFileInfo::exists(destination->sendingFilePath()));
        QVERIFY(!QFileInfo::exists(destination->entriesFilePath()));
    }

    void unreachableServerKeepsBatch() {
        QUrl url;
        {
            HttpResponder closed; // takes a free port, then gives it up
            url = closed.url();
        }
        auto destination = make(url);
        test::OutputCapture capture;
        store(*destination, Level::Error, QStringLiteral("one"));
        QTRY_VERIFY_WITH_TIMEOUT(!destination->sendingInProgress(), kWait);
        QVERIFY(capture.text().contains(QStringLiteral("Error! Could not send entries to server. ")));
        QCOMPARE(lineCount(destination->sendingFilePath()), 1);
    }

    // Every key length encrypt() refuses is in encryptRefusesBadSizes; one is enough here.
    void wrongKeyLengthKeepsEntries() {
        HttpResponder server;
        auto destination = make(server.url(), kKey.left(31));

        test::OutputCapture capture;
        store(*destination, Level::Error, QStringLiteral("one"));
        QVERIFY(!destination->sendingInProgress()); // failed before any request
        store(*destination, Level::Error, QStringLiteral("two"));
        QVERIFY(!destination->sendingInProgress());
        QCOMPARE(capture.text().count(QStringLiteral("an error occured while encrypting")), 2);
        QCOMPARE(server.requests().size(), 0);
        // Nothing is lost: the first batch waits in the sending file, the rest in the
        // entries file.
        QCOMPARE(lineCount(destination->sendingFilePath()), 1);
        QCOMPARE(lineCount(destination->entriesFilePath()), 1);
    }

    // Entries an earlier run left on disk go out with the first entry of this run,
    // whatever its points; lines that cannot be read are named and skipped.
    void leftoversAreSentWithTheFirstEntry_data() {
        QTest::addColumn<QByteArray>("sending"); // the files as left
        QTest::addColumn<QByteArray>("entries");
        QTest::addColumn<QStringList>("uploaded");
        QTest::addColumn<QList<int>>("badLines"); // of the sending file
        QTest::addColumn<int>("waiting");         // entries left for the next upload
        const QByteArray one = entryLine(QStringLiteral("old one")),
                         two = entryLine(QStringLiteral("old two"));
        // clang-format off
        QTest::newRow("entries file") << QByteArray() << one + two << QStringList{"old one", "old two", "DEBUG: new"} << QList<int>{} << 0;
        // The left-over batch goes alone; the new entry waits for the next one.
        QTest::newRow("unparsable lines skipped") << one + "not json at all\n{\"cut\":\n[1,2]\n" + two << QByteArray() << QStringList{"old one", "old two"} << QList<int>{2, 3, 4} << 1;
        QTest::newRow("nothing sendable does not block") << QByteArray("garbage\n\n") << one << QStringList{"old one", "DEBUG: new"} << QList<int>{1} << 0;
        // clang-format on
    }
    void leftoversAreSentWithTheFirstEntry() {
        QFETCH(QByteArray, sending);
        QFETCH(QByteArray, entries);
        QFETCH(QStringList, uploaded);
        QFETCH(QList<int>, badLines);
        QFETCH(int, waiting);
        QVERIFY(sending.isEmpty() || leave(PlatformDestination::sendingFileName, sending));
        QVERIFY(entries.isEmpty() || leave(PlatformDestination::entriesFileName, entries));
        HttpResponder server;
        auto destination = make(server.url());
        QVERIFY(destination->initialSending());

        test::OutputCapture capture;
        store(*destination, Level::Debug, QStringLiteral("new")); // 1 point of 10
        const bool uploadDone = settled(server, *destination, 1);
        const QString output = capture.text(); // a failure is reported after the capture
        QVERIFY(uploadDone);
        QVERIFY(!destination->initialSending());
        QCOMPARE(sent(server, 0), uploaded);
        for (int line = 1; line <= 5; ++line)
            QCOMPARE(output.contains(QStringLiteral("Error! Could not parse line %1 in file %2")
                                         .arg(line)
                                         .arg(destination->sendingFilePath())),
                     badLines.contains(line));
        QVERIFY(!QFileInfo::exists(destination->sendingFilePath()));
        QCOMPARE(lineCount(destination->entriesFilePath()), waiting);

        store(*destination, Level::Verbose, QStringLiteral("later"));
        QVERIFY(!destination->sendingInProgress());
        QCOMPARE(server.requests().size(), 1);
    }

    void oneUploadInFlight() {
        HttpResponder server;
        server.setHold(true);
        auto destination = make(server.url());

        store(*destination, Level::Error, QStringLiteral("one"));
        QVERIFY(destination->sendingInProgress());
        QTRY_COMPARE_WITH_TIMEOUT(server.heldCount(), 1, kWait);
        // Over the threshold twice, but an upload is in flight: the entries wait.
        store(*destination, Level::Error, QStringLiteral("two"));
        store(*destination, Level::Error, QStringLiteral("three"));
        QCOMPARE(destination->points(), 20);
        QCOMPARE(lineCount(destination->entriesFilePath()), 2);

        server.setHold(false);
        server.release();
        QVERIFY(settled(server, *destination, 1));
        QVERIFY(!QFileInfo::exists(destination->sendingFilePath()));

        store(*destination, Level::Debug, QStringLiteral("four")); // 21 points
        QVERIFY(settled(server, *destination, 2));
        QCOMPARE(sent(server, 0), QStringList{"ERROR: one"});
        QCOMPARE(sent(server, 1), (QStringList{"ERROR: two", "ERROR: three", "DEBUG: four"}));
    }

    void destructionDuringUploadKeepsBatch() {
        HttpResponder server;
        server.setHold(true);
        QString sending;
        {
            auto destination = make(server.url());
            sending = destination->sendingFilePath();
            store(*destination, Level::Error, QStringLiteral("one"));
            QTRY_COMPARE_WITH_TIMEOUT(server.heldCount(), 1, kWait);
        }
        QCOMPARE(lineCount(sending), 1);
        QVERIFY(make(server.url())->initialSending());
    }

    void narrationGoesToStandardError() {
        HttpResponder server;
        auto destination = make(server.url());
        destination->setShowNSLog(true);
        test::OutputCapture capture(STDERR_FILENO);
        store(*destination, Level::Error, QStringLiteral("one"));
        QTRY_VERIFY_WITH_TIMEOUT(!destination->sendingInProgress(), kWait);
        const QString text = capture.text();
        for (const char* line : {"Platform: saving '", "Platform: reset points to 0",
                                 "Encrypting 1 log entries ...", "Platform: assembling request ...",
                                 "Platform: sending ...", "Platform: received response from server",
                                 "Sent 1 encrypted log entries to server, received ok: true"})
            QVERIFY2(text.contains(QString::fromUtf8(line)), line);
    }
};

TREVALIN_TEST_MAIN(PlatformDestinationTest)
#include "tst_PlatformDestination.moc"
