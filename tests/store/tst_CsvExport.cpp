// The CSV export text: the header, CR line ends, and every row equal to the record's own
// FileObject::csvRow() (whose quoting and column order are tested with FileObject), also
// for repeated algorithms (the first counts), all five digests and quoting.
#include "StoreTestSupport.h"
#include "TestMain.h"

#include "store/CsvExport.h"

using namespace trevalin;
using namespace trevalin::test;

class TestCsvExport : public QObject {
    Q_OBJECT

private slots:
    void rowsMatchFileObject() {
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
