// Algorithm selection: the default list, enabling, the report line and the JSON form
// (round trip, corrupt data, stored lists completed).
#include "ModelTestSupport.h"
#include "TestMain.h"

#include "model/DigestState.h"

#include <QSignalSpy>
#include <QTest>

using namespace trevalin;
using trevalin::test::LogRecorder;

namespace {

// "SHA512+ MD5-": the entries in order, '+' enabled, '-' disabled.
QList<Digests> listOf(const QString& text) {
    QList<Digests> list;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts))
        list.append(Digests::make(*digestFromString(word.chopped(1)), word.endsWith(u'+')));
    return list;
}

QString textOf(const QList<Digests>& list) {
    QStringList words;
    for (const Digests& entry : list)
        words << toString(entry.digest) + (entry.enabled ? u'+' : u'-');
    return words.join(u' ');
}

} // namespace

class TestDigestState : public QObject {
    Q_OBJECT

private slots:
    void enableAndOrder() {
        DigestState state;
        QSignalSpy changed(&state, &DigestState::algorithmsChanged);
        state.setAlgorithms(listOf(QStringLiteral("SHA512+ MD5- SHA256+ SHA1- SHA384-")));
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

    // A list with nothing enabled stays so; the line names the enabled ones in list order.
    void report() {
        DigestState state;
        LogRecorder log;
        state.setAlgorithms(listOf(QStringLiteral("MD5- SHA1- SHA256- SHA384- SHA512-")));
        state.report();
        state.setAlgorithms(listOf(QStringLiteral("SHA256+ MD5- SHA1+ SHA384- SHA512-")));
        state.report();
        QCOMPARE(log.messages(Level::Verbose),
                 (QStringList{"Algorithms enabled: ", "Algorithms enabled: SHA256 SHA1 "}));
    }

    // The stored form, and a round trip that keeps every setting, also a name with
    // characters JSON must escape, but not the ids.
    void encodeAndRoundTrip() {
        QCOMPARE(DigestState::encode(listOf(QStringLiteral("MD5- SHA1+"))),
                 QByteArray(R"([{"name":"MD5","digest":"MD5","enabled":false},)"
                            R"({"name":"SHA1","digest":"SHA1","enabled":true}])"));
        QList<Digests> list = listOf(QStringLiteral("SHA384+ SHA1- MD5+ SHA512- SHA256+"));
        list[0].name = QStringLiteral("S\"HA\\384\n");
        const std::optional<QList<Digests>> decoded = DigestState::decode(DigestState::encode(list));
        QVERIFY(decoded);
        QCOMPARE(decoded->size(), list.size());
        for (int i = 0; i < list.size(); ++i) {
            QVERIFY(decoded->at(i).sameSetting(list[i]));
            QVERIFY(decoded->at(i).id != list[i].id);
        }
    }

    void corrupt_data() {
        QTest::addColumn<QByteArray>("data");
        const QByteArray good = DigestState::encode(DigestState::defaultList());
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not JSON") << QByteArray("\x00\xff garbage", 10);
        QTest::newRow("truncated") << good.left(good.size() / 2);
        QTest::newRow("object") << QByteArray(R"({"name":"MD5","digest":"MD5","enabled":true})");
        QTest::newRow("unknown digest") << QByteArray(good).replace("SHA384\",\"enabled", "SHA3\",\"enabled");
        QTest::newRow("enabled not bool") << QByteArray(good).replace("false", "0");
        QTest::newRow("missing key") << QByteArray(good).replace(",\"enabled\":false}", "}");
        QTest::newRow("name not string") << QByteArray(good).replace("\"name\":\"MD5\"", "\"name\":5");
        QTest::newRow("element not object") << QByteArray("[1,2,3,4,5]");
    }
    void corrupt() {
        QFETCH(QByteArray, data);
        QVERIFY(!DigestState::decode(data));
    }

    // A stored list keeps the choices it holds; what it lacks is added switched off, and
    // SHA1 is switched on only when a completed list has nothing on.
    void storedSelection_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<bool>("completed");
        auto row = [](const char* tag, const char* stored, const char* loaded, bool completed) {
            QTest::newRow(tag) << QString::fromLatin1(stored) << QString::fromLatin1(loaded) << completed;
        };
        row("two", "SHA512+ MD5+", "SHA512+ MD5+ SHA1- SHA256- SHA384-", true);
        row("two, none on", "SHA512- MD5-", "SHA512- MD5- SHA1+ SHA256- SHA384-", true);
        row("one, not SHA1", "SHA256+", "SHA256+ MD5- SHA1- SHA384- SHA512-", true);
        row("all five", "SHA384+ MD5- SHA1- SHA512+ SHA256-", "SHA384+ MD5- SHA1- SHA512+ SHA256-", false);
        row("none on", "MD5- SHA1- SHA256- SHA384- SHA512-", "MD5- SHA1- SHA256- SHA384- SHA512-", false);
        row("duplicates", "SHA256+ SHA256- MD5- MD5+", "SHA256+ MD5- SHA1- SHA384- SHA512-", true);
        row("six", "MD5- SHA1+ SHA256- SHA384- SHA512- SHA1-", "MD5- SHA1+ SHA256- SHA384- SHA512-", true);
        row("empty array", "", "MD5- SHA1+ SHA256- SHA384- SHA512-", true);
    }
    void storedSelection() {
        QFETCH(QString, stored);
        QFETCH(QString, loaded);
        QFETCH(bool, completed);
        bool wasCompleted = !completed;
        const std::optional<QList<Digests>> decoded =
            DigestState::decode(DigestState::encode(listOf(stored)), &wasCompleted);
        QVERIFY(decoded);
        QCOMPARE(textOf(*decoded), loaded);
        QCOMPARE(wasCompleted, completed);
        for (const Digests& entry : *decoded)
            QCOMPARE(entry.name, toString(entry.digest));
    }
};

TREVALIN_TEST_MAIN(TestDigestState)
#include "tst_DigestState.moc"
