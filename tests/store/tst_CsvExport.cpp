// The CSV export text: header, quoting of paths, one column per algorithm whichever
// order the digests are stored in, CR line ends; and every row equal to the record's own
// FileObject::csvRow().
#include "StoreTestSupport.h"
#include "TestMain.h"

#include "store/CsvExport.h"

using namespace trevalin;
using namespace trevalin::test;

class TestCsvExport : public QObject {
    Q_OBJECT

private slots:
    void quotesAndOrder() {
        FileObjectPtr one = makeRecord(QStringLiteral("/data/one.txt"), 1,
                                       {Checksum::make(Digest::SHA1, QStringLiteral("aa"))});
        FileObjectPtr comma = makeRecord(QStringLiteral("/data/a,b.txt"), 1,
                                         {Checksum::make(Digest::SHA512, QStringLiteral("ee")),
                                          Checksum::make(Digest::MD5, QStringLiteral("11"))});
        FileObjectPtr quote = makeRecord(QStringLiteral("/data/say \"hi\".txt"));
        FileObjectPtr plain = makeRecord(QStringLiteral("/data/semi;colon 'x'.txt"));
        QList<FileObjectPtr> records{one, comma, quote, plain};
        const QString text = CsvExport::text(records);
        QCOMPARE(text, QStringLiteral("Path,MD5,SHA1,SHA256,SHA384,SHA512\r"
                                      "/data/one.txt,,aa,,,\r"
                                      "\"/data/a,b.txt\",11,,,,ee\r"
                                      "\"/data/say \"\"hi\"\".txt\",,,,,\r"
                                      "/data/semi;colon 'x'.txt,,,,,\r"));
        QVERIFY(!text.contains(u'\n'));
        records.append(makeRecord(QStringLiteral("/data/line\nfeed")));
        QVERIFY(CsvExport::text(records).endsWith(QStringLiteral("\"/data/line\nfeed\",,,,,\r")));
    }

    void rowsMatchFileObject() {
        // The export writes each record's row itself: it must equal FileObject::csvRow(),
        // also for repeated algorithms (the first counts), all five digests and quoting.
        QList<Checksum> all;
        for (Digest digest : kAllDigests)
            all.append(Checksum::make(digest, toString(digest).toLower()));
        const QList<FileObjectPtr> records{
            makeRecord(QStringLiteral("/data/all five"), 1, all),
            makeRecord(QStringLiteral("/data/repeated"), 1,
                       {Checksum::make(Digest::SHA1, QStringLiteral("first")),
                        Checksum::make(Digest::SHA1, QStringLiteral("second")),
                        Checksum::make(Digest::MD5, QStringLiteral("m"))}),
            makeRecord(QStringLiteral("/data/\"q\",\r\n"), 1,
                       {Checksum::make(Digest::SHA384, QStringLiteral("x"))}),
            makeRecord(QString::fromUtf8("/data/\xC3\xA9t\xC3\xA9")),
        };
        QString expected = QStringLiteral("Path,MD5,SHA1,SHA256,SHA384,SHA512\r");
        for (const FileObjectPtr& r : records)
            expected += r->csvRow() + u'\r';
        QCOMPARE(CsvExport::text(records), expected);
    }
};

TREVALIN_TEST_MAIN(TestCsvExport)
#include "tst_CsvExport.moc"
