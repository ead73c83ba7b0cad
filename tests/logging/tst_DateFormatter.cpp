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
    void initTestCase() {
        // A fixed zone five and a half hours east of UTC, independent of zone data.
        qputenv("TZ", "IST-5:30");
        tzset();
    }

    void patterns_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("utc");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, const char* pattern, bool utc, const char* expected) {
            QTest::newRow(name) << QString::fromUtf8(pattern) << utc << QString::fromUtf8(expected);
        };
        row("application", "yyyy-MM-dd HH:mm:ss.SSS", true, "2024-03-05 07:08:09.123");
        row("short fields", "y/M/d H:m:s", true, "2024/3/5 7:8:9");
        row("two-digit year", "yy", true, "24");
        row("padded year", "yyyyy", true, "02024");
        row("fraction digits", "S|SS|SSS|SSSS|SSSSSS|SSSSSSS", true, "1|12|123|1234|123456|1234560");
        row("twelve-hour", "hh:mm a", true, "07:08 AM");
        row("k and K", "k K", true, "7 7");
        row("day of year", "D DDD", true, "65 065");
        row("quarter", "Q QQ QQQ", true, "1 01 Q1");
        row("weekday number", "e", true, "3");
        row("millis in day", "A", true, "25689123");
        row("era", "G", true, "AD");
        row("quoted literal", "yyyy'T'HH 'o''clock' ''", true, "2024T07 o'clock '");
        row("unterminated quote", "HH'mm", true, "07mm");
        row("offsets", "Z|ZZZZ|ZZZZZ|X|XXX|x|xxx", true, "+0000|GMT|Z|Z|Z|+00|+00:00");
        row("zone name", "z", true, "UTC");
        row("unsupported letters copied", "HH bjw", true, "07 bjw");
        row("non-letters copied", "[HH] - {mm} ü", true, "[07] - {08} ü");
        row("empty", "", true, "");
        row("local application", "yyyy-MM-dd HH:mm:ss.SSS", false, "2024-03-05 12:38:09.123");
        row("local twelve-hour pm", "h:mm a", false, "12:38 PM");
        row("local offsets", "Z|ZZZZ|ZZZZZ|X|XX|XXX", false, "+0530|GMT+05:30|+05:30|+0530|+0530|+05:30");
        row("local zone name", "z", false, "IST");
    }
    void patterns() {
        QFETCH(QString, pattern);
        QFETCH(bool, utc);
        QFETCH(QString, expected);
        QCOMPARE(DateFormatter(pattern).format(fixedUs, utc), expected);
    }

    void namesFollowSystemLocale() {
        const QLocale locale = QLocale::system();
        QCOMPARE(DateFormatter(QStringLiteral("MMM MMMM")).format(fixedUs, true),
                 locale.monthName(3, QLocale::ShortFormat) + u' ' + locale.monthName(3, QLocale::LongFormat));
        QCOMPARE(DateFormatter(QStringLiteral("EEE EEEE")).format(fixedUs, true),
                 locale.dayName(2, QLocale::ShortFormat) + u' ' + locale.dayName(2, QLocale::LongFormat));
    }

    void beforeEpoch() {
        // 1969-12-31 23:59:59.750 UTC: the fraction belongs to the earlier second.
        QCOMPARE(DateFormatter(QStringLiteral("yyyy-MM-dd HH:mm:ss.SSS")).format(-250000, true),
                 QStringLiteral("1969-12-31 23:59:59.750"));
    }
};

TREVALIN_TEST_MAIN(TestDateFormatter)
#include "tst_DateFormatter.moc"
