// Tests of the platform upload destination against a real HTTP server on
// 127.0.0.1: encryption known answers, the request's headers and payload, the
// point arithmetic, failure handling that keeps every entry on disk, left-overs
// from an earlier run, and the single upload in flight.
#include "HttpResponder.h"
#include "LogTestSupport.h"
#include "TestMain.h"

#include "logging/Log.h"
#include "logging/Logger.h"
#include "logging/PayloadCipher.h"
#include "logging/PlatformDestination.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QSysInfo>
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
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    QByteArray out(cipher.size() + 32, Qt::Uninitialized);
    int written = 0;
    int last = 0;
    const bool ok =
        EVP_DecryptInit_ex(context, EVP_aes_256_cbc(), nullptr,
                           reinterpret_cast<const unsigned char*>(key.constData()),
                           reinterpret_cast<const unsigned char*>(iv.constData())) == 1 &&
        EVP_DecryptUpdate(context, reinterpret_cast<unsigned char*>(out.data()), &written,
                          reinterpret_cast<const unsigned char*>(cipher.constData()),
                          int(cipher.size())) == 1 &&
        EVP_DecryptFinal_ex(context, reinterpret_cast<unsigned char*>(out.data()) + written, &last) == 1;
    EVP_CIPHER_CTX_free(context);
    if (!ok)
        return {};
    out.truncate(written + last);
    return out;
}

// The decrypted payload of one upload request, or an empty object.
QJsonObject openPayload(const HttpResponder::Request& request, const QString& key = kKey) {
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    const QByteArray payload = body.value(QStringLiteral("payload")).toString().toLatin1();
    if (payload.size() <= PayloadCipher::ivLength)
        return {};
    const QByteArray iv = payload.left(PayloadCipher::ivLength);
    const QByteArray cipher =
        QByteArray::fromBase64(payload.mid(PayloadCipher::ivLength), QByteArray::AbortOnBase64DecodingErrors);
    return QJsonDocument::fromJson(decrypt(cipher, key.toUtf8(), iv)).object();
}

QStringList messagesOf(const QJsonObject& payload) {
    QStringList messages;
    for (const QJsonValue& entry : payload.value(QStringLiteral("entries")).toArray())
        messages.append(entry.toObject().value(QStringLiteral("message")).toString());
    return messages;
}

QList<QByteArray> fileLines(const QString& path) {
    QList<QByteArray> lines = test::readAll(path).split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

QByteArray entryLine(const QString& message, int level = 2) {
    QJsonObject object;
    object.insert(QStringLiteral("timestamp"), 1700000000.5);
    object.insert(QStringLiteral("level"), level);
    object.insert(QStringLiteral("message"), message);
    object.insert(QStringLiteral("thread"), QString());
    object.insert(QStringLiteral("fileName"), QStringLiteral("Earlier.cpp"));
    object.insert(QStringLiteral("function"), QStringLiteral("run()"));
    object.insert(QStringLiteral("line"), 7);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
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
        QTest::newRow("key empty") << QByteArray() << QByteArray("abcdEFGH01234567");
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

    void randomIVIsAlphanumeric() {
        const QByteArray alphabet(PayloadCipher::ivCharacters);
        QSet<QByteArray> seen;
        for (int i = 0; i < 200; ++i) {
            const QByteArray iv = PayloadCipher::randomIV();
            QCOMPARE(iv.size(), 16);
            for (char c : iv)
                QVERIFY2(alphabet.contains(c), iv.constData());
            seen.insert(iv);
        }
        QCOMPARE(seen.size(), 200);
    }

    void analyticsRecordCountsStarts() {
        QString uuid;
        QString firstStart;
        {
            auto destination = make(QUrl());
            const QJsonObject record =
                QJsonDocument::fromJson(fileLines(destination->analyticsFilePath()).value(0)).object();
            const QStringList keys{"uuid",     "firstStart",      "lastStart",  "starts",
                                   "userName", "firstAppVersion", "appVersion", "appBuild"};
            for (const QString& key : keys)
                QVERIFY2(record.contains(key), qPrintable(key));
            QCOMPARE(record.value("starts").toInt(), 1);
            uuid = record.value("uuid").toString();
            QVERIFY(!QUuid::fromString(uuid).isNull());
            QCOMPARE(destination->uuid(), uuid);
            firstStart = record.value("firstStart").toString();
            QVERIFY(QDateTime::fromString(firstStart, Qt::ISODate).isValid());
            QCOMPARE(record.value("lastStart").toString(), firstStart);
        }
        auto again = make(QUrl());
        const QJsonObject record =
            QJsonDocument::fromJson(fileLines(again->analyticsFilePath()).value(0)).object();
        QCOMPARE(record.value("starts").toInt(), 2);
        QCOMPARE(record.value("uuid").toString(), uuid);
        QCOMPARE(record.value("firstStart").toString(), firstStart);
        QCOMPARE(again->uuid(), uuid);
    }

    void corruptAnalyticsRecordIsReplaced() {
        QDir().mkpath(folder());
        QVERIFY(test::writeFile(folder() + "/platform_analytics.json", "{not json"));
        auto destination = make(QUrl());
        QCOMPARE(destination->analytics().value("starts").toInt(), 1);
        QVERIFY(!destination->uuid().isEmpty());
    }

    // The whole way through the Logger: three entries (8 + 1 + 5 points) reach the
    // threshold on the third and go out as one encrypted batch.
    void uploadCarriesExactlyTheEntries() {
        HttpResponder server;
        QVERIFY(server.isListening());
        auto destination = make(server.url());
        destination->setFormat(QString::fromLatin1(Log::logFormat));
        Logger::addDestination(destination);

        TLOG_WARNING(QStringLiteral("first"));
        TLOG_DEBUG(QStringLiteral("second"));
        TLOG_INFO(QStringLiteral("third \"quoted\" ünïcode"));
        QVERIFY(Logger::flush(5));
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!destination->sendingInProgress(), kWait);

        const HttpResponder::Request& request = server.requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QByteArray("/api/v1/app/"));
        QCOMPARE(request.headers.value("content-type"), QByteArray("application/json"));
        QCOMPARE(request.headers.value("accept"), QByteArray("application/json"));
        const QByteArray authorization = request.headers.value("authorization");
        QVERIFY(authorization.startsWith("Basic "));
        QCOMPARE(QByteArray::fromBase64(authorization.mid(6)),
                 QByteArray("Ab3De6:S3cr3tS3cr3tS3cr3tS3cr3tS3cr3t12"));

        const QJsonObject body = QJsonDocument::fromJson(request.body).object();
        QCOMPARE(body.keys(), QStringList{"payload"});
        const QString payloadText = body.value("payload").toString();
        QVERIFY(QRegularExpression(QStringLiteral("^[A-Za-z0-9]{16}[A-Za-z0-9+/]+=*$"))
                    .match(payloadText)
                    .hasMatch());

        const QJsonObject payload = openPayload(request);
        QVERIFY(!payload.isEmpty());
        const QJsonObject device = payload.value("device").toObject();
        QCOMPARE(device.value("os").toString(), QStringLiteral("Linux"));
        QCOMPARE(device.value("uuid").toString(), destination->uuid());

        const QJsonArray entries = payload.value("entries").toArray();
        QCOMPARE(entries.size(), 3);
        const QStringList words{"WARNING: first", "DEBUG: second", "INFO: third \"quoted\" ünïcode"};
        const QList<int> levels{3, 1, 2};
        const QRegularExpression stamp(
            QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3} "));
        for (int i = 0; i < 3; ++i) {
            const QJsonObject entry = entries.at(i).toObject();
            QStringList keys = entry.keys();
            keys.sort();
            QCOMPARE(keys, (QStringList{"fileName", "function", "level", "line", "message", "thread",
                                        "timestamp"}));
            const QString message = entry.value("message").toString();
            QVERIFY2(stamp.match(message).hasMatch(), qPrintable(message));
            QCOMPARE(message.mid(24), words.at(i));
            QCOMPARE(entry.value("level").toInt(), levels.at(i));
            QCOMPARE(entry.value("fileName").toString(), QStringLiteral("tst_PlatformDestination.cpp"));
            QCOMPARE(entry.value("function").toString(), QStringLiteral("uploadCarriesExactlyTheEntries"));
            QCOMPARE(entry.value("thread").toString(), QString());
            QVERIFY(entry.value("line").toInt() > 0);
            QVERIFY(qAbs(entry.value("timestamp").toDouble() - QDateTime::currentMSecsSinceEpoch() / 1000.0) <
                    60);
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
        QTest::newRow("8+1 stays below 10") << 10 << 10 << Levels{W, D} << 0 << 9;
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
            QCOMPARE(fileLines(destination->entriesFilePath()).size(), levels.size());
            QCOMPARE(server.requests().size(), 0);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!destination->sendingInProgress(), kWait);
        QCOMPARE(messagesOf(openPayload(server.requests().first())).size(), uploadedEntries);
    }

    void serverErrorKeepsBatchAndRetriesItFirst() {
        HttpResponder server;
        server.setStatus(500);
        auto destination = make(server.url());

        test::OutputCapture capture;
        store(*destination, Level::Error, "one");
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!destination->sendingInProgress(), kWait);
        QVERIFY(capture.text().contains(
            QStringLiteral("Error! Sending entries to server failed with status code 500")));
        // The failed batch stays on disk.
        QCOMPARE(fileLines(destination->sendingFilePath()).size(), 1);

        server.setStatus(200);
        store(*destination, Level::Warning, "two");
        QVERIFY(!destination->sendingInProgress());
        store(*destination, Level::Error, "three");
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 2, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!destination->sendingInProgress(), kWait);
        // The retried batch goes out alone, before the newer entries.
        QCOMPARE(messagesOf(openPayload(server.requests().at(0))), QStringList{"ERROR: one"});
        QCOMPARE(messagesOf(openPayload(server.requests().at(1))), QStringList{"ERROR: one"});
        QVERIFY(!QFileInfo::exists(destination->sendingFilePath()));
        QCOMPARE(fileLines(destination->entriesFilePath()).size(), 2);

        store(*destination, Level::Error, "four");
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 3, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!destination->sendingInProgress(), kWait);
        QCOMPARE(messagesOf(openPayload(server.requests().at(2))),
                 (QStringList{"WARNING: two", "ERROR: three", "ERROR: four"}));
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
        store(*destination, Level::Error, "one");
        QTRY_VERIFY_WITH_TIMEOUT(!destination->sendingInProgress(), kWait);
        QVERIFY(capture.text().contains(QStringLiteral("Error! Could not send entries to server. ")));
        QCOMPARE(fileLines(destination->sendingFilePath()).size(), 1);
    }

    // Every key length encrypt() refuses is in encryptRefusesBadSizes; one is enough here.
    void wrongKeyLengthKeepsEntries() {
        HttpResponder server;
        auto destination = make(server.url(), kKey.left(31));

        test::OutputCapture capture;
        store(*destination, Level::Error, "one");
        QVERIFY(!destination->sendingInProgress()); // failed before any request
        store(*destination, Level::Error, "two");
        QVERIFY(!destination->sendingInProgress());
        QCOMPARE(capture.text().count(QStringLiteral("an error occured while encrypting")), 2);
        QCOMPARE(server.requests().size(), 0);
        // Nothing is lost: the first batch waits in the sending file, the rest in the
        // entries file.
        QCOMPARE(fileLines(destination->sendingFilePath()).size(), 1);
        QCOMPARE(fileLines(destination->entriesFilePath()).size(), 1);
    }

    void leftoversAreSentWithTheFirstEntry() {
        QDir().mkpath(folder());
        QVERIFY(test::writeFile(folder() + "/platform_entries.json",
                                entryLine("old one") + '\n' + entryLine("old two") + '\n'));
        HttpResponder server;
        auto destination = make(server.url());
        QVERIFY(destination->initialSending());

        store(*destination, Level::Verbose, "new"); // 0 points, sent anyway
        QVERIFY(!destination->initialSending());
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!destination->sendingInProgress(), kWait);
        QCOMPARE(messagesOf(openPayload(server.requests().first())),
                 (QStringList{"old one", "old two", "VERBOSE: new"}));

        store(*destination, Level::Verbose, "later");
        QVERIFY(!destination->sendingInProgress());
        QCOMPARE(server.requests().size(), 1);
    }

    void unparsableLinesAreSkipped() {
        QDir().mkpath(folder());
        QVERIFY(test::writeFile(folder() + "/platform_entries_sending.json",
                                entryLine("good one") + "\nnot json at all\n{\"cut\":\n[1,2]\n" +
                                    entryLine("good two") + "\n"));
        HttpResponder server;
        auto destination = make(server.url());
        QVERIFY(destination->initialSending());

        test::OutputCapture capture;
        store(*destination, Level::Debug, "new");
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!destination->sendingInProgress(), kWait);
        const QString output = capture.text();
        for (int line : {2, 3, 4})
            QVERIFY2(output.contains(QStringLiteral("Error! Could not parse line %1 in file %2")
                                         .arg(line)
                                         .arg(destination->sendingFilePath())),
                     qPrintable(output));
        QVERIFY(!output.contains(QStringLiteral("Could not parse line 1 ")));
        QVERIFY(!output.contains(QStringLiteral("Could not parse line 5 ")));
        // The left-over batch goes first; the new entry waits for the next one.
        QCOMPARE(messagesOf(openPayload(server.requests().first())), (QStringList{"good one", "good two"}));
        QVERIFY(!QFileInfo::exists(destination->sendingFilePath()));
        QCOMPARE(fileLines(destination->entriesFilePath()).size(), 1);
    }

    void sendingFileWithNothingSendableDoesNotBlock() {
        QDir().mkpath(folder());
        QVERIFY(test::writeFile(folder() + "/platform_entries_sending.json", "garbage\n\n"));
        QVERIFY(test::writeFile(folder() + "/platform_entries.json", entryLine("waiting") + '\n'));
        HttpResponder server;
        auto destination = make(server.url());
        test::OutputCapture capture;
        store(*destination, Level::Debug, "new");
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!destination->sendingInProgress(), kWait);
        QCOMPARE(messagesOf(openPayload(server.requests().first())), (QStringList{"waiting", "DEBUG: new"}));
        QVERIFY(capture.text().contains(QStringLiteral("Error! Could not parse line 1 in file ")));
    }

    void oneUploadInFlight() {
        HttpResponder server;
        server.setHold(true);
        auto destination = make(server.url());

        store(*destination, Level::Error, "one");
        QVERIFY(destination->sendingInProgress());
        QTRY_COMPARE_WITH_TIMEOUT(server.heldCount(), 1, kWait);
        // Over the threshold twice, but an upload is in flight: the entries wait.
        store(*destination, Level::Error, "two");
        store(*destination, Level::Error, "three");
        QCOMPARE(destination->points(), 20);
        QCOMPARE(fileLines(destination->entriesFilePath()).size(), 2);

        server.setHold(false);
        server.release();
        QTRY_VERIFY_WITH_TIMEOUT(!destination->sendingInProgress(), kWait);
        QCOMPARE(server.requests().size(), 1);
        QVERIFY(!QFileInfo::exists(destination->sendingFilePath()));

        store(*destination, Level::Debug, "four"); // 21 points
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 2, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!destination->sendingInProgress(), kWait);
        QCOMPARE(messagesOf(openPayload(server.requests().at(0))), QStringList{"ERROR: one"});
        QCOMPARE(messagesOf(openPayload(server.requests().at(1))),
                 (QStringList{"ERROR: two", "ERROR: three", "DEBUG: four"}));
    }

    void destructionDuringUploadKeepsBatch() {
        HttpResponder server;
        server.setHold(true);
        QString sending;
        {
            auto destination = make(server.url());
            sending = destination->sendingFilePath();
            store(*destination, Level::Error, "one");
            QTRY_COMPARE_WITH_TIMEOUT(server.heldCount(), 1, kWait);
        }
        QCOMPARE(fileLines(sending).size(), 1);
        auto next = make(server.url());
        QVERIFY(next->initialSending());
    }

    void narrationGoesToStandardError() {
        HttpResponder server;
        auto destination = make(server.url());
        destination->setShowNSLog(true);
        test::OutputCapture capture(STDERR_FILENO);
        store(*destination, Level::Error, "one");
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
