// The platform upload destination against a real HTTP server on 127.0.0.1:
// encryption known answers, the point arithmetic, the request, failures that keep
// every entry on disk, the single upload in flight and left-overs of earlier runs.
#include "HttpResponder.h"
#include "LogTestSupport.h"
#include "TestMain.h"

#include "logging/Logger.h"
#include "logging/PayloadCipher.h"
#include "logging/PlatformDestination.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
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

// Lines are written whole, each with its line feed.
int lineCount(const QString& path) {
    return int(test::readAll(path).count('\n'));
}

// An entry as an earlier run stored it.
QByteArray entryLine(const char* message) {
    return R"({"timestamp":1700000000.5,"level":2,"message":")" + QByteArray(message) +
           R"j(","thread":"","fileName":"Earlier.cpp","function":"run()","line":7})j" + '\n';
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

    // An empty expectation: encrypt() refuses the key or IV.
    void encryptKnownAnswer_data() {
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("iv");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray key = kKey.toUtf8(), iv("abcdEFGH01234567");
        // Vectors made with: openssl enc -aes-256-cbc -K <hex of key> -iv <hex of IV> -base64
        // clang-format off
        QTest::newRow("empty") << QByteArray() << key << iv << QByteArray("Yv32rzjBSwhwAhaGbNUSHw==");
        QTest::newRow("json") << QByteArray("{\"entries\":[]}") << key << iv << QByteArray("z/a9U4VBSCb70AzFHlCWpQ==");
        QTest::newRow("one full block") << QByteArray("0123456789abcdef") << key << iv << QByteArray("RJOMGgIgcjVFWwY0L0o9+9R7rSlqYxTECKTB8r/96Po=");
        QTest::newRow("key 31") << QByteArray("text") << key.left(31) << iv << QByteArray();
        QTest::newRow("key 33") << QByteArray("text") << key + "x" << iv << QByteArray();
        QTest::newRow("iv 15") << QByteArray("text") << key << iv.left(15) << QByteArray();
        // 32 characters, but 33 bytes in UTF-8.
        QTest::newRow("key 32 chars non-ASCII") << QByteArray("text") << (QStringLiteral("é") + kKey.mid(1)).toUtf8() << iv << QByteArray();
        // clang-format on
    }
    void encryptKnownAnswer() {
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, iv);
        QFETCH(QByteArray, expected);
        const std::optional<QByteArray> cipher = PayloadCipher::encrypt(plain, key, iv);
        QCOMPARE(bool(cipher), !expected.isEmpty());
        if (cipher)
            QCOMPARE(cipher->toBase64(), expected);
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
        QTest::newRow("verbose weighs nothing")
            << 10 << 10 << Levels{V, V, V, V, V, V, V, V, V, V, V} << 0 << 0;
        QTest::newRow("threshold 0 is raised to 1") << 0 << 10 << Levels{V, V, D} << 3 << 0;
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
        SendingPoints points;
        points.threshold = threshold;
        points.error = errorWeight;
        destination->setSendingPoints(points);

        for (int i = 0; i < levels.size(); ++i)
            store(*destination, levels.at(i), QStringLiteral("entry %1").arg(i));
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

    // One upload in flight at a time; a batch the server refuses stays on disk and goes
    // out again, alone, before the entries stored meanwhile.
    void refusedBatchIsKeptAndRetriedFirst() {
        HttpResponder server;
        server.setStatus(500);
        server.setHold(true);
        auto destination = make(server.url());
        destination->setShowNSLog(true);

        test::OutputCapture narration(STDERR_FILENO);
        store(*destination, Level::Error, QStringLiteral("one"));
        QTRY_COMPARE_WITH_TIMEOUT(server.heldCount(), 1, kWait);
        // Over the threshold, but an upload is in flight: the entry waits.
        store(*destination, Level::Error, QStringLiteral("two"));
        QCOMPARE(destination->points(), 10);
        QCOMPARE(lineCount(destination->entriesFilePath()), 1);
        test::OutputCapture capture;
        server.release();
        const bool refused = settled(server, *destination, 1);
        QVERIFY(capture.text().contains(
            QStringLiteral("Error! Sending entries to server failed with status code 500")));
        QVERIFY(refused);
        QCOMPARE(lineCount(destination->sendingFilePath()), 1);

        server.setStatus(200);
        store(*destination, Level::Debug, QStringLiteral("three")); // 11 points
        QVERIFY(settled(server, *destination, 2));
        QCOMPARE(sent(server, 0), QStringList{"ERROR: one"});
        QCOMPARE(sent(server, 1), QStringList{"ERROR: one"});
        QVERIFY(server.requests()[0].body != server.requests()[1].body); // a fresh IV each time
        QVERIFY(!QFileInfo::exists(destination->sendingFilePath()));
        QCOMPARE(lineCount(destination->entriesFilePath()), 2);

        store(*destination, Level::Error, QStringLiteral("four"));
        QVERIFY(settled(server, *destination, 3));
        QCOMPARE(sent(server, 2), (QStringList{"ERROR: two", "DEBUG: three", "ERROR: four"}));
        QVERIFY(narration.text().contains(
            QStringLiteral("Sent 3 encrypted log entries to server, received ok: true")));
        QVERIFY(!QFileInfo::exists(destination->sendingFilePath()));
        QVERIFY(!QFileInfo::exists(destination->entriesFilePath()));

        // The request: a JSON body with one payload, the IV and the cipher text in base 64.
        const HttpResponder::Request& request = server.requests().first();
        QCOMPARE(request.method + ' ' + request.path, QByteArray("POST /api/v1/app/"));
        QCOMPARE(request.headers.value("content-type"), QByteArray("application/json"));
        QCOMPARE(request.headers.value("accept"), QByteArray("application/json"));
        QCOMPARE(request.headers.value("authorization"),
                 "Basic " + QByteArray("Ab3De6:S3cr3tS3cr3tS3cr3tS3cr3tS3cr3t12").toBase64());
        QVERIFY(QRegularExpression(QStringLiteral("^\\{\"payload\":\"[A-Za-z0-9]{16}[A-Za-z0-9+/]+=*\"\\}$"))
                    .match(QString::fromLatin1(request.body))
                    .hasMatch());
        // The device carries the analytics record, the entry the source of the line.
        const QJsonObject payload = openPayload(request);
        const QJsonObject device = payload.value("device").toObject();
        QCOMPARE(device.value("os").toString(), QStringLiteral("Linux"));
        QCOMPARE(device.value("uuid").toString(), destination->uuid());
        QCOMPARE(device.value("starts").toInt(), 1);
        QCOMPARE(payload.value("entries").toArray().first().toObject(),
                 QJsonDocument::fromJson(R"({"timestamp":1700000000.123456,"level":4,"message":"ERROR: one",)"
                                         R"j("fileName":"Concurrency.swift","function":"triage()",)j"
                                         R"("thread":"worker","line":42})")
                     .object());
    }

    // A key encrypt() refuses: no request, and nothing is lost.
    void encryptionFailureKeepsEntries() {
        HttpResponder server;
        auto destination = make(server.url(), kKey.left(31));
        test::OutputCapture capture;
        store(*destination, Level::Error, QStringLiteral("one"));
        store(*destination, Level::Error, QStringLiteral("two")); // tries again
        QCOMPARE(capture.text().count(QStringLiteral("an error occured while encrypting")), 2);
        QCOMPARE(server.requests().size(), 0);
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
        const QByteArray one = entryLine("old one"), two = entryLine("old two");
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
        QVERIFY(leave(PlatformDestination::analyticsFileName, "{not json")); // replaced by a fresh record
        HttpResponder server;
        auto destination = make(server.url());
        QVERIFY(destination->initialSending());
        QCOMPARE(destination->analytics().value("starts").toInt(), 1);
        QVERIFY(!QUuid::fromString(destination->uuid()).isNull());

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

    // The batch in flight stays on disk for the next run, which counts one more start
    // of the same installation.
    void destructionDuringUploadKeepsBatch() {
        HttpResponder server;
        server.setHold(true);
        QString sending, uuid;
        {
            auto destination = make(server.url());
            sending = destination->sendingFilePath();
            uuid = destination->uuid();
            store(*destination, Level::Error, QStringLiteral("one"));
            QTRY_COMPARE_WITH_TIMEOUT(server.heldCount(), 1, kWait);
        }
        QCOMPARE(lineCount(sending), 1);
        const auto again = make(server.url());
        QVERIFY(again->initialSending());
        QCOMPARE(again->uuid(), uuid);
        QCOMPARE(again->analytics().value("starts").toInt(), 2);
    }
};

TREVALIN_TEST_MAIN(PlatformDestinationTest)
#include "tst_PlatformDestination.moc"
