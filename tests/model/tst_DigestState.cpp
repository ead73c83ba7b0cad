// Algorithm selection: the default list, enabling, the report line and the JSON form
// (round trip, any key order, corrupt data).
#include "ModelTestSupport.h"
#include "TestMain.h"

#include "model/DigestState.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

using namespace trevalin;
using trevalin::test::LogRecorder;

namespace {

QList<Digests> listOf(const QList<std::pair<Digest, bool>>& entries) {
    QList<Digests> list;
    for (const auto& [digest, enabled] : entries)
        list.append(Digests::make(digest, enabled));
    return list;
}

} // namespace

class TestDigestState : public QObject {
    Q_OBJECT

private slots:
    void defaults() {
        const QList<Digests> list = DigestState::defaultList();
        QCOMPARE(list.size(), 5);
        for (int i = 0; i < 5; ++i) {
            TCOMPARE_ENUM(list[i].digest, kAllDigests[size_t(i)]);
            QCOMPARE(list[i].name, toString(kAllDigests[size_t(i)]));
            QCOMPARE(list[i].enabled, list[i].digest == Digest::SHA1);
            QVERIFY(!list[i].id.isNull());
        }
        QVERIFY(list[0].id != DigestState::defaultList()[0].id); // fresh ids
        DigestState state;
        QVERIFY(state.enabledDigests() == QList<Digest>{Digest::SHA1});
        QCOMPARE(state.enabledCount(), 1);
    }

    void enableAndOrder() {
        DigestState state;
        QSignalSpy changed(&state, &DigestState::algorithmsChanged);
        state.setAlgorithms(listOf({{Digest::SHA512, true},
                                    {Digest::MD5, false},
                                    {Digest::SHA256, true},
                                    {Digest::SHA1, false},
                                    {Digest::SHA384, false}}));
        QVERIFY(state.enabledDigests() == (QList<Digest>{Digest::SHA512, Digest::SHA256}));
        state.enable(Digest::MD5);
        QVERIFY(state.enabledDigests() == (QList<Digest>{Digest::SHA512, Digest::MD5, Digest::SHA256}));
        QCOMPARE(state.enabledCount(), 3);
        state.setEnabled(Digest::SHA512, false);
        QCOMPARE(state.enabledCount(), 2);
        state.setDefaults();
        QVERIFY(state.enabledDigests() == QList<Digest>{Digest::SHA1});
        QCOMPARE(changed.count(), 4);
    }

    void report_data() {
        QTest::addColumn<QList<int>>("enabled");
        QTest::addColumn<QString>("line");
        QTest::newRow("SHA1 and SHA256") << QList<int>{1, 2} << "Algorithms enabled: SHA1 SHA256 ";
        QTest::newRow("none") << QList<int>{} << "Algorithms enabled: ";
        QTest::newRow("all") << QList<int>{0, 1, 2, 3, 4}
                             << "Algorithms enabled: MD5 SHA1 SHA256 SHA384 SHA512 ";
    }
    void report() {
        QFETCH(QList<int>, enabled);
        QFETCH(QString, line);
        QList<Digests> list = DigestState::defaultList();
        for (Digests& entry : list)
            entry.enabled = enabled.contains(int(entry.digest));
        DigestState state;
        state.setAlgorithms(list);
        LogRecorder log;
        state.report();
        QVERIFY2(log.has(Level::Verbose, line), qPrintable(log.messages().join(u'|')));
    }

    void encodeForm() {
        QCOMPARE(DigestState::encode(listOf({{Digest::MD5, false}, {Digest::SHA1, true}})),
                 QByteArray(R"([{"name":"MD5","digest":"MD5","enabled":false},)"
                            R"({"name":"SHA1","digest":"SHA1","enabled":true}])"));
    }

    void roundTrip() {
        const QList<Digests> list = listOf({{Digest::SHA384, true},
                                            {Digest::SHA1, false},
                                            {Digest::MD5, true},
                                            {Digest::SHA512, false},
                                            {Digest::SHA256, true}});
        const std::optional<QList<Digests>> decoded = DigestState::decode(DigestState::encode(list));
        QVERIFY(decoded);
        QCOMPARE(decoded->size(), list.size());
        for (int i = 0; i < list.size(); ++i) {
            QVERIFY(decoded->at(i).sameSetting(list[i]));
            QVERIFY(decoded->at(i).id != list[i].id); // ids are not persisted
        }
        // A name with characters JSON must escape survives too.
        QList<Digests> odd = DigestState::defaultList();
        odd[0].name = QStringLiteral("M\"D\\5\n");
        QCOMPARE(DigestState::decode(DigestState::encode(odd))->at(0).name, odd[0].name);
    }

    void anyKeyOrder() {
        QJsonArray array;
        for (Digest digest : {Digest::SHA512, Digest::MD5, Digest::SHA1, Digest::SHA256, Digest::SHA384}) {
            // QJsonObject writes its keys sorted: digest, enabled, name.
            array.append(QJsonObject{{QStringLiteral("enabled"), digest == Digest::MD5},
                                     {QStringLiteral("name"), toString(digest)},
                                     {QStringLiteral("digest"), toString(digest)}});
        }
        const QByteArray json = QJsonDocument(array).toJson(QJsonDocument::Indented);
        const std::optional<QList<Digests>> decoded = DigestState::decode(json);
        QVERIFY(decoded);
        TCOMPARE_ENUM(decoded->at(0).digest, Digest::SHA512);
        QVERIFY(decoded->at(1).enabled);
        DigestState state;
        state.setAlgorithms(*decoded);
        QVERIFY(state.enabledDigests() == QList<Digest>{Digest::MD5});
    }

    void corrupt_data() {
        QTest::addColumn<QByteArray>("data");
        const QByteArray good = DigestState::encode(DigestState::defaultList());
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not JSON") << QByteArray("\x00\xff garbage", 10);
        QTest::newRow("truncated") << good.left(good.size() / 2);
        QTest::newRow("object") << QByteArray(R"({"name":"MD5","digest":"MD5","enabled":true})");
        QTest::newRow("empty array") << QByteArray("[]");
        QTest::newRow("unknown digest") << QByteArray(good).replace("SHA384\",\"enabled", "SHA3\",\"enabled");
        QTest::newRow("enabled not bool") << QByteArray(good).replace("false", "0");
        QTest::newRow("missing key") << QByteArray(good).replace(",\"enabled\":false}", "}");
        QTest::newRow("name not string") << QByteArray(good).replace("\"name\":\"MD5\"", "\"name\":5");
        QTest::newRow("entry missing") << DigestState::encode(DigestState::defaultList().mid(1));
        QTest::newRow("entry twice") << DigestState::encode(DigestState::defaultList() +
                                                            DigestState::defaultList());
        QTest::newRow("element not object") << QByteArray("[1,2,3,4,5]");
    }
    void corrupt() {
        QFETCH(QByteArray, data);
        QVERIFY(!DigestState::decode(data));
    }

    void nothingEnabledIsKept() {
        QList<Digests> list = DigestState::defaultList();
        for (Digests& entry : list)
            entry.enabled = false;
        const auto decoded = DigestState::decode(DigestState::encode(list));
        QVERIFY(decoded);
        DigestState state;
        state.setAlgorithms(*decoded);
        QCOMPARE(state.enabledCount(), 0);
    }
};

TREVALIN_TEST_MAIN(TestDigestState)
#include "tst_DigestState.moc"
