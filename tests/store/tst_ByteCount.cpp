// The size text: unit bands, rounding, and the shortest exact number form.
#include "TestMain.h"

#include "store/ByteCount.h"

using namespace trevalin;

class TestByteCount : public QObject {
    Q_OBJECT

private slots:
    void text_data() {
        QTest::addColumn<double>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0 Bytes";
        QTest::newRow("fraction") << 12.5 << "12.5 Bytes";
        QTest::newRow("1023") << 1023.0 << "1023 Bytes";
        QTest::newRow("1024") << 1024.0 << "1.0 KB";
        QTest::newRow("half up KB") << 1024.0 * 1.25 << "1.3 KB";
        QTest::newRow("just under MB") << 1048575.0 << "1024.0 KB";
        QTest::newRow("1048576") << 1048576.0 << "1.0 MB";
        QTest::newRow("MB fraction") << 1048576.0 * 2.34 << "2.3 MB";
        QTest::newRow("1073741824") << 1073741824.0 << "1.0 GB";
        QTest::newRow("GB two decimals") << 1073741824.0 * 1.234 << "1.23 GB";
        QTest::newRow("GB half away") << 1073741824.0 * 1.125 << "1.13 GB";
        QTest::newRow("1099511627776") << 1099511627776.0 << "1.0 TB";
        QTest::newRow("TB fraction") << 1099511627776.0 * 2.5 << "2.5 TB";
        QTest::newRow("PB in TB") << 1099511627776.0 * 1024 << "1024.0 TB";
    }
    void text() {
        QFETCH(double, bytes);
        QFETCH(QString, text);
        QCOMPARE(byteCountString(bytes), text);
    }
};

TREVALIN_TEST_MAIN(TestByteCount)
#include "tst_ByteCount.moc"
