// The fast content-database reader against the general one: every document is decoded by
// both (also from a device in tiny blocks); the fast reader's records equal the general
// reader's, it handles what it must and never accepts a malformed document, and
// DatabaseCodec::decode() gives exactly the general reader's records or error.
#include "StoreTestSupport.h"
#include "TestMain.h"

#include "store/DatabaseCodec.h"
#include "store/DatabaseReader.h"
#include "store/PlistError.h"
#include "store/PlistReader.h"
#include "store/PlistWriter.h"

#include <QBuffer>

#include <algorithm>
#include <variant>

using namespace trevalin;
using namespace trevalin::test;

namespace {

using Outcome = std::variant<DatabaseCodec::Map, QString>; // records or the error text

// The records `decode` returns, or the text of the error it throws.
template <typename F> Outcome outcome(F decode) {
    try {
        return decode();
    } catch (const PlistError& error) {
        return error.message();
    }
}

Outcome general(const QByteArray& bytes) {
    return outcome([&] {
        PlistReader reader(bytes);
        return DatabaseCodec::decode(reader);
    });
}

// Whether both are the same records (times bit for bit) or the same error text.
bool equal(const Outcome& a, const Outcome& b) {
    if (a.index() != b.index() || a.index() == 1)
        return a.index() == b.index() && std::get<QString>(a) == std::get<QString>(b);
    const DatabaseCodec::Map& x = std::get<DatabaseCodec::Map>(a);
    const DatabaseCodec::Map& y = std::get<DatabaseCodec::Map>(b);
    return std::equal(x.begin(), x.end(), y.begin(), y.end(), [](const auto& i, const auto& j) {
        return i.first == j.first && sameData(i.second->snapshot(), j.second->snapshot());
    });
}

QByteArray written(const QList<FileObjectPtr>& records) {
    DatabaseCodec::Snapshot entries;
    for (const FileObjectPtr& record : records)
        entries.emplace_back(record->location(), record->snapshot());
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        PlistWriter writer(&buffer);
        writer.beginDocument();
        DatabaseCodec::encode(writer, entries);
        writer.endDocument();
    }
    return buffer.data();
}

QByteArray writtenPath(const QString& path) {
    return written({makeRecord(
        path, 7,
        {Checksum::make(Digest::MD5, QString(32, 'a')), Checksum::make(Digest::SHA256, QString(64, 'b'))})});
}

QByteArray escapeXml(const QByteArray& text) {
    QByteArray out = text;
    return out.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;");
}

// One record for file:///data/a.txt whose path element holds `path` (raw XML).
QByteArray withPath(const QByteArray& path) {
    return dbDocument(urlXml("file:///data/a.txt") + recordXml("file:///data/a.txt", path));
}

// One record for `relative`, with `extra` entries at the end of its dictionary.
QByteArray single(const QByteArray& relative = "file:///data/a.txt", const QByteArray& extra = {}) {
    return dbDocument(urlXml(relative) + recordXml(relative, "/data/a.txt", extra));
}

QByteArray withExtra(const QByteArray& extra) {
    return single("file:///data/a.txt", extra);
}

} // namespace

class TestDatabaseReader : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { DatabaseReader::setBlockSizeForTesting(0); }

    void documents_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("fast"); // the fast reader must handle it
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QByteArray>("same"); // when set, a plainer document of the same records
        // Handled by the fast reader; valid but left to the general reader; malformed.
        auto good = [](const char* name, const QByteArray& bytes, const QByteArray& same = {}) {
            QTest::newRow(name) << bytes << true << true << same;
        };
        auto slow = [](const char* name, const QByteArray& bytes, const QByteArray& same = {}) {
            QTest::newRow(name) << bytes << false << true << same;
        };
        auto bad = [](const char* name, const QByteArray& bytes) {
            QTest::newRow(name) << bytes << false << false << QByteArray();
        };

        // What the writer produces, for a path that stresses escaping and URL coding (the
        // content database's round trips take these characters one by one).
        good("writer, odd path",
             writtenPath(QString::fromUtf8("/data/R&D <draft> \"q\" 'v2', one;two=[4]!$*+@~ a]]>b\r\n\t "
                                           "snap \xF0\x9F\x93\xB7 \xC3\xA9t\xC3\xA9 100% sure  ")));
        slow("writer hash and query", writtenPath("/data/100% #1 ?query=a;b.txt"));
        good("writer several", written({makeRecord("/data/1"), makeRecord("/data/2"),
                                        makeRecord("/other/3", 5, {Checksum::make(Digest::SHA512, "f")})}));
        QList<FileObjectPtr> many;
        for (int i = 0; i < 40; ++i)
            many << makeRecord(QString("/data/dir %1/file %2.txt").arg(i % 3).arg(i), quint64(i),
                               {Checksum::make(Digest::SHA1, QString(40, QChar('a' + i % 6)))});
        const QByteArray manyBytes = written(many);
        good("writer many", manyBytes);
        // A whole entry and the array's end inside a comment near the middle.
        QByteArray decoy = manyBytes;
        const qsizetype middle = decoy.indexOf("\n<dict><key>relative</key>", decoy.size() / 2);
        decoy.insert(middle, "<!--" + QByteArray(4000, ' ') + "\n" + urlXml("file:///fake") +
                                 recordXml("file:///fake", "/fake") + "</array></dict></plist>-->");
        good("entry start inside a comment", decoy);

        // Hand-edited layouts the fast reader handles.
        good("short declaration, plain plist tag",
             QByteArray("<?xml version=\"1.0\"?><plist><dict><key>db</key><array/></dict></plist>"));
        good("entities and references",
             dbDocument(urlXml("file:///data/a%20&amp;%26b.txt") +
                        recordXml("file:///data/a%20&amp;%26b.txt",
                                  "/d&amp;&lt;&gt;&quot;&apos;&#233;&#xE9;&#x1F4F7;&#13;&#10;&#9;x")));
        good("comment inside a string", withPath("/da<!-- c -->ta/a.txt"));
        good("unknown keys, padded numbers, repeated keys",
             withExtra("<key>x</key><dict><key>y</key><date>2020-01-01T00:00:00Z</date><key>z</key><data>AAEC"
                       "</data></dict><key>bytes</key><integer> 012 </integer><key>created</key><real> "
                       "+0.15e1 </real><key>bookmarked</key><false></false>"),
             single());
        good("location other than the key, unnormalised URL",
             dbDocument(urlXml("file:///data/./x/../a%2fb%c3%a9.txt") +
                        recordXml("file:///data/b.txt", "/data/b.txt")));
        good("special reals",
             withExtra("<key>created</key><real>-0.0</real><key>modified</key><real>inf</real>"));

        good("non-characters in text",
             withPath("/data/\xEF\xB7\x90\xF0\x9F\xBF\xBE\xF4\x8F\xBF\xBF\xEF\xBF\xBD"));
        good("non-characters in a URL", single("file:///data/\xEF\xB7\x90\xF0\x9F\xBF\xBE.txt"));

        // Valid, but left to the general reader.
        slow("hex integer", withExtra("<key>bytes</key><integer>0xC</integer>"), single());
        slow("base URL",
             plistDocument("<!-- by hand --><dict><key>other</key><array/><key>db</key><array><dict><key>base"
                           "</key>" +
                           urlXml("file:///data/") + "<key>relative</key><string>a.txt</string></dict>" +
                           recordXml("file:///data/a.txt", "/data/a.txt") + "</array></dict>"),
             single());
        slow("CDATA", withPath("<![CDATA[/data/<a>.txt]]>"), withPath("/data/&lt;a&gt;.txt"));
        slow("raw CR in a string", withPath("/data/a\r\nb\rc"));
        slow("raw non-ASCII with escapes", single(QByteArray("file:///data/\xC3\xA9%20a.txt")));
        slow("escaped non-character", single("file:///data/%EF%BF%BE.txt"));
        slow("processing instruction", plistDocument("<?style x?><dict><key>db</key><array/></dict>"));
        slow("nan", withExtra("<key>created</key><real>nan</real>"));
        slow("attribute", QByteArray("<plist><dict><key>db</key><array id=\"1\"/></dict></plist>"));

        // Malformed or not a content database.
        const QByteArray whole = single();
        bad("truncated at the end", whole.left(whole.size() - 3));
        bad("not a plist", QByteArray("hello, world\n"));
        bad("binary", QByteArray("bplist00\xd1\x01\x02", 11));
        bad("root is an array", QByteArray("<plist><array/></plist>"));
        bad("db is a string", QByteArray("<plist><dict><key>db</key><string>x</string></dict></plist>"));
        QByteArray noRelative = single();
        noRelative.replace("<key>relative</key>", "<key>relativ</key>");
        bad("URL without relative", noRelative);
        bad("unknown digest",
            withExtra(
                "<key>checksums</key><array><dict><key>algorithm</key><string>MD4</string><key>value</key>"
                "<string>a</string><key>id</key><string>00000000-0000-0000-0000-000000000000</string>"
                "</dict></array>"));
        bad("negative size", withExtra("<key>bytes</key><integer>-1</integer>"));
        bad("size too large", withExtra("<key>bytes</key><integer>18446744073709551616</integer>"));
        bad("bad real", withExtra("<key>created</key><real>1.2.3</real>"));
        bad("bad identifier", withExtra("<key>identifier</key><string>x</string>"));
        bad("boolean with text", withExtra("<key>bookmarked</key><true>x</true>"));
        bad("string where a number belongs", withExtra("<key>bytes</key><string>1</string>"));
        bad("not a file URL", single("http://host/a.txt"));
        bad("trailing element", QByteArray("<plist><dict><key>db</key><array/></dict><dict/></plist>"));
        bad("content after plist", QByteArray("<plist><dict><key>db</key><array/></dict></plist>x"));
        bad("mismatched end tag", QByteArray("<plist><dict><key>db</key><array></dict></array></plist>"));
        bad("text between elements", QByteArray("<plist><dict>x<key>db</key><array/></dict></plist>"));
        bad("key without value", QByteArray("<plist><dict><key>db</key></dict></plist>"));
        bad("unknown entity", withPath("&foo;"));
        bad("reference to NUL", withPath("&#0;"));
        bad("unterminated entity", withPath("a &amp b"));
        bad("invalid UTF-8", withPath("\xC3("));
        bad("overlong UTF-8", withPath("\xC0\xAF"));
        bad("control character", withPath("a\x01"
                                          "b"));
        bad("]]> in text", withPath("a]]>b"));
        bad("double hyphen in comment",
            QByteArray("<plist><!-- a -- b --><dict><key>db</key><array/></dict></plist>"));
        bad("unterminated comment", QByteArray("<plist><!-- a <dict><key>db</key><array/></dict></plist>"));
        bad("declaration not first",
            QByteArray("\n<?xml version=\"1.0\"?><plist><dict><key>db</key><array/></dict></plist>"));
        bad("unknown element", QByteArray("<plist><dict><key>db</key><list/></dict></plist>"));
    }

    void documents() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, fast);
        QFETCH(bool, valid);
        QFETCH(QByteArray, same);
        const Outcome expected = general(bytes);
        QCOMPARE(std::holds_alternative<DatabaseCodec::Map>(expected), valid);
        QVERIFY(same.isEmpty() || equal(expected, general(same)));

        const std::optional<DatabaseCodec::Map> quick = DatabaseReader::decode(bytes);
        QVERIFY2(quick || !fast, "the fast reader gave up");
        QVERIFY2(!quick || valid, "the fast reader accepted a document the general reader rejects");
        QVERIFY(!quick || equal(*quick, expected));
        // From a device in tiny blocks: every step is cut short and run again.
        QBuffer memory(&bytes);
        for (qsizetype block : {1, 7, 16, 64, 0}) {
            DatabaseReader::setBlockSizeForTesting(block);
            QVERIFY(memory.open(QIODevice::ReadOnly));
            const std::optional<DatabaseCodec::Map> chunked = DatabaseReader::decode(&memory);
            memory.close();
            QCOMPARE(bool(chunked), bool(quick));
            QVERIFY(!chunked || equal(*chunked, *quick));
        }
        // The decoder the database loads with: the same records, or exactly the general
        // reader's error.
        QVERIFY(memory.open(QIODevice::ReadOnly));
        QVERIFY(equal(outcome([&] { return DatabaseCodec::decode(&memory); }), expected));
    }

    // Every percent escape and every literal URL character: the fast reader either gives
    // the general reader's location or leaves the document to it.
    void urlCharacters() {
        QList<QByteArray> texts;
        for (int b = 0; b < 256; ++b) {
            const QByteArray hex = QByteArray::number(b, 16).rightJustified(2, '0');
            texts.append({"file:///x%" + hex + "y", "file:///x%" + hex.toUpper() + "y"});
        }
        for (int c = 0x20; c < 0x7F; ++c) {
            texts.append(
                {QByteArray("file:///x") + char(c) + "y", QByteArray("file:///x%20") + char(c) + "y"});
        }
        texts += QList<QByteArray>{
            "file:///x%",        "file:///x%4",          "file:///x%zz",      "file:///%C3%A9%F0%9F%93%B7",
            "file:///%ED%A0%80", "file:///%F4%90%80%80", "file:///%EF%B7%90", "file:///%C3"};
        int handled = 0;
        for (const QByteArray& text : texts) {
            const QByteArray bytes = single(escapeXml(text));
            const Outcome expected = general(bytes);
            const std::optional<DatabaseCodec::Map> quick = DatabaseReader::decode(bytes);
            if (!quick)
                continue;
            ++handled;
            QVERIFY2(equal(*quick, expected), text.constData());
        }
        QVERIFY2(handled > 400, qPrintable(QString::number(handled)));
    }
};

TREVALIN_TEST_MAIN(TestDatabaseReader)
#include "tst_DatabaseReader.moc"
