// Date patterns of the "$D" and "$Z" tokens, in UTC and in a fixed local zone.
#include "TestMain.h"
#include "logging/DateFormatter.h"

#include <QDateTime>
#include <QtTest>

#include <ctime>

using namespace trevalin;

namespace {
// Tuesday 2024-03-05 07:08:09.123456 UTC
const qint64 fixedUs =
    QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9, 123), Qt::UTC).toMSecsSinceEpoch() * 1000 + 456;
} // namespace

class TestDateFormatter : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void utcPatterns_data();
    void utcPatterns();
    void localPatterns_data();
    void localPatterns();
    void namesFollowSystemLocale();
    void beforeEpoch();
};

void TestDateFormatter::initTestCase() {
    // A fixed zone five and a half hours east of UTC, independent of zone data.
    qputenv("TZ", "IST-5:30");
    tzset();
}

void TestDateFormatter::utcPatterns_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const char* pattern, const char* expected) {
        QTest::newRow(name) << QString::fromUtf8(pattern) << QString::fromUtf8(expected);
    };
    row("application", "yyyy-MM-dd HH:mm:ss.SSS", "2024-03-05 07:08:09.123");
    row("default", "HH:mm:ss.SSS", "07:08:09.123");
    row("short fields", "y/M/d H:m:s", "2024/3/5 7:8:9");
    row("two-digit year", "yy", "24");
    row("padded year", "yyyyy", "02024");
    row("fraction digits", "S|SS|SSS|SSSS|SSSSSS|SSSSSSS", "1|12|123|1234|123456|1234560");
    row("twelve-hour", "hh:mm a", "07:08 AM");
    row("k and K", "k K", "7 7");
    row("day of year", "D DDD", "65 065");
    row("quarter", "Q QQ QQQ", "1 01 Q1");
    row("weekday number", "e", "3");
    row("millis in day", "A", "25689123");
    row("era", "G", "AD");
    row("quoted literal", "yyyy'T'HH 'o''clock' ''", "2024T07 o'clock '");
    row("unterminated quote", "HH'mm", "07mm");
    row("offsets", "Z|ZZZZ|ZZZZZ|X|XXX|x|xxx", "+0000|GMT|Z|Z|Z|+00|+00:00");
    row("zone name", "z", "UTC");
    row("unsupported letters copied", "HH bjw", "07 bjw");
    row("non-letters copied", "[HH] - {mm} ü", "[07] - {08} ü");
    row("empty", "", "");
}

void TestDateFormatter::utcPatterns() {
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    DateFormatter formatter(pattern);
    QCOMPARE(formatter.pattern(), pattern);
    QCOMPARE(formatter.format(fixedUs, true), expected);
}

void TestDateFormatter::localPatterns_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const char* pattern, const char* expected) {
        QTest::newRow(name) << QString::fromUtf8(pattern) << QString::fromUtf8(expected);
    };
    row("application", "yyyy-MM-dd HH:mm:ss.SSS", "2024-03-05 12:38:09.123");
    row("twelve-hour pm", "h:mm a", "12:38 PM");
    row("offsets", "Z|ZZZZ|ZZZZZ|X|XX|XXX", "+0530|GMT+05:30|+05:30|+0530|+0530|+05:30");
    row("zone name", "z", "IST");
}

void TestDateFormatter::localPatterns() {
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    QCOMPARE(DateFormatter(pattern).format(fixedUs, false), expected);
}

void TestDateFormatter::namesFollowSystemLocale() {
    const QLocale locale = QLocale::system();
    QCOMPARE(DateFormatter(QStringLiteral("MMM MMMM")).format(fixedUs, true),
             locale.monthName(3, QLocale::ShortFormat) + u' ' + locale.monthName(3, QLocale::LongFormat));
    QCOMPARE(DateFormatter(QStringLiteral("EEE EEEE")).format(fixedUs, true),
             locale.dayName(2, QLocale::ShortFormat) + u' ' + locale.dayName(2, QLocale::LongFormat));
}

void TestDateFormatter::beforeEpoch() {
    // 1969-12-31 23:59:59.750 UTC: the fraction belongs to the earlier second.
    QCOMPARE(DateFormatter(QStringLiteral("yyyy-MM-dd HH:mm:ss.SSS")).format(-250000, true),
             QStringLiteral("1969-12-31 23:59:59.750"));
}

TREVALIN_TEST_MAIN(TestDateFormatter)
#include "tst_DateFormatter.moc"
