// The property-list writer's strings: UTF-8 and escapes byte for byte, the characters no
// XML can carry (error state, nothing written), and strings longer than its buffer.
#include "TestMain.h"

#include "store/PlistWriter.h"

#include <QBuffer>

using namespace trevalin;

namespace {

// The bytes written for one string value (without the surrounding document), and
// whether the writer reported an error.
std::pair<QByteArray, bool> encode(const QString& text) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    bool error;
    {
        PlistWriter writer(&buffer);
        writer.string(text);
        writer.flush();
        error = writer.hasError();
    }
    return {buffer.data(), error};
}

} // namespace

class TestPlistWriter : public QObject {
    Q_OBJECT

private slots:
    void strings_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes"); // empty: the writer refuses the text
        QTest::newRow("empty") << QString() << QByteArray("<string></string>");
        QTest::newRow("ascii") << QString("a b~\x7f") << QByteArray("<string>a b~\x7f</string>");
        QTest::newRow("markup") << QString("R&D <x> \"q\" 'a'")
                                << QByteArray("<string>R&amp;D &lt;x&gt; \"q\" 'a'</string>");
        QTest::newRow("line ends") << QString("a\rb\nc\td\r\n")
                                   << QByteArray("<string>a&#13;b\nc\td&#13;\n</string>");
        // Two, three and four bytes, at the ends of their ranges.
        const QByteArray utf8 =
            "\xC3\xA9\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBD\xED\x9F\xBFx\xF0\x9F\x93\xB7\xF4\x8F\xBF\xBFy";
        QTest::newRow("multi-byte") << QString::fromUtf8(utf8) << "<string>" + utf8 + "</string>";
        QTest::newRow("control character") << QString("a\x01"
                                                      "b")
                                           << QByteArray();
        QTest::newRow("NUL") << QString(QChar(0)) << QByteArray();
        QTest::newRow("unpaired high") << QString(QChar(0xD83D)) + "x" << QByteArray();
        QTest::newRow("high at the end") << "x" + QString(QChar(0xD83D)) << QByteArray();
        QTest::newRow("unpaired low") << "x" + QString(QChar(0xDCF7)) << QByteArray();
        QTest::newRow("U+FFFE") << QString(QChar(0xFFFE)) << QByteArray();
        QTest::newRow("U+FFFF") << QString(QChar(0xFFFF)) << QByteArray();
    }
    void strings() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        const auto [written, error] = encode(text);
        QCOMPARE(error, bytes.isEmpty());
        // Once in the error state the writer hands nothing more to the device.
        QCOMPARE(written, error ? QByteArray() : bytes);
    }

    void longerThanTheBuffer() {
        // 3 MiB of text in one string, then a short one: nothing lost or reordered.
        QString text;
        QByteArray expected = "<string>";
        for (int i = 0; i < 300000; ++i) {
            text += QStringLiteral("abc&\xE9<>\r ");
            expected += "abc&amp;\xC3\xA9&lt;&gt;&#13; ";
        }
        expected += "</string>";
        const auto [written, error] = encode(text);
        QVERIFY(!error);
        QCOMPARE(written.size(), expected.size());
        QVERIFY(written == expected);
    }
};

TREVALIN_TEST_MAIN(TestPlistWriter)
#include "tst_PlistWriter.moc"
