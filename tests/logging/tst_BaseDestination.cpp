// Rendering of log lines: the format language, padding, trailing white space,
// JSON rendering, filters and the debug print texts.
#include "LogTestSupport.h"
#include "TestMain.h"
#include "logging/BaseDestination.h"
#include "logging/Log.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <ctime>

using namespace trevalin;
using trevalin::test::makeEntry;

namespace {
// 2024-03-05 07:08:09.123456 UTC
const qint64 fixedUs =
    QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9, 123), Qt::UTC).toMSecsSinceEpoch() * 1000 + 456;
} // namespace

class TestBaseDestination : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // A fixed zone five and a half hours east of UTC, so local and UTC times differ.
        qputenv("TZ", "IST-5:30");
        tzset();
    }

    void formatTokens_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QVariant>("context");
        QTest::addColumn<qint64>("uptimeMs"); // the entry's time less the start date; -1: not set
        QTest::addColumn<QString>("expected");
        // Name, format, expected line, then message ("m" unless given), context and uptime;
        // the level is Info.
        auto row = [](const char* name, const char* format, const char* expected, const char* message = "m",
                      const QVariant& context = {}, qint64 uptimeMs = -1) {
            QTest::newRow(name) << QString::fromUtf8(format) << QString::fromUtf8(message) << context
                                << uptimeMs << QString::fromUtf8(expected);
        };
        row("no dollar", "plain text, no tokens", "plain text, no tokens");
        row("text before first token", "pre $L post", "pre INFO post");
        row("message", "<$M>", "<hello>", "hello");
        row("thread", "[$T]", "[worker]");
        row("last path component", "$n", "Concurrency.swift");
        row("all source tokens", "$N.$F:$l - $M", "Concurrency.triage():42 - x", "x");
        row("d and z are empty", "a$db$zc", "abc");
        row("colour tokens empty", "$C$L$c: $M", "INFO: m");
        row("local date", "$Dyyyy-MM-dd HH:mm:ss.SSS$d|", "2024-03-05 12:38:09.123|");
        row("utc iso", "$Zyyyy-MM-dd'T'HH:mm:ss.SSSZZZZZ$z", "2024-03-05T07:08:09.123Z");
        row("date consumes its rest", "$ZHH:mm$z $M", "07:08 m");
        row("application format", Log::logFormat, "2024-03-05 12:38:09.123 INFO: m");
        row("no context", "[$X]", "[]");
        row("context string trimmed", "[$X]", "[ctx value]", "m", QStringLiteral("  \n ctx value \n"));
        row("context number", "[$X]", "[17]", "m", 17);
        row("context list", "[$X]", "[[\"a\",\"b\"]]", "m",
            QStringList{QStringLiteral("a"), QStringLiteral("b")});
        row("uptime just under a minute", "$U", "00:00:59.999", "m", {}, 59999);
        row("uptime all fields", "$U", "01:02:03.456", "m", {}, 3723456);
        row("uptime 100 hours", "$U", "100:00:00.007", "m", {}, 360000007);
        row("pad 8", "$8L", "    INFO");
        row("pad -8", "$-8L|", "INFO    |");
        row("pad 2 never cuts", "$2L", "INFO");
        row("pad -2 never cuts", "$-2L|", "INFO|");
        row("pad date", "$14ZHH:mm$z|", "         07:08|");
        row("pad empty token", "a$3db", "a   b");
        row("trailing white space of message", "$M", "hello", "hello \n\n\t");
        row("trailing spaces of format", "$M   ", "hi", "hi");
        row("leading spaces kept", "  $M", "  hi", "hi");
        row("inner new line kept", "$M", "a\nb", "a\nb");
        row("unknown letter copied", "cost $Q here", "cost $Q here");
        row("digits without letter", "cost $5", "cost $5");
        row("lone trailing dollar", "a$", "a$");
        row("double dollar", "a$$Lb", "a$INFOb");
        row("minus without digits", "$-L", "$-L");
        row("J not first", "x$J", "x$J");
    }
    void formatTokens() {
        QFETCH(QString, format);
        QFETCH(QString, message);
        QFETCH(QVariant, context);
        QFETCH(qint64, uptimeMs);
        QFETCH(QString, expected);
        BaseDestination d;
        d.setFormat(format);
        if (uptimeMs >= 0)
            d.setStartDate(QDateTime::fromMSecsSinceEpoch(fixedUs / 1000 - uptimeMs));
        LogEntry entry = makeEntry(Level::Info, message, fixedUs);
        entry.context = context;
        QCOMPARE(d.send(entry), std::optional<QString>(expected));
    }

    void defaultFormatAndLevelWords() {
        BaseDestination d;
        const LogEntry entry = makeEntry(Level::Warning, QStringLiteral("went wrong"), fixedUs);
        QCOMPARE(*d.send(entry), QStringLiteral("12:38:09.123 WARNING Concurrency.triage():42 - went wrong"));
        d.setLevelString(Level::Warning, QStringLiteral("Warn"));
        QCOMPARE(*d.send(entry), QStringLiteral("12:38:09.123 Warn Concurrency.triage():42 - went wrong"));
    }

    void json_data() {
        QTest::addColumn<QVariant>("context");
        QTest::addColumn<QJsonValue>("expected"); // undefined: no "context" key
        QTest::newRow("no context") << QVariant() << QJsonValue(QJsonValue::Undefined);
        QTest::newRow("text") << QVariant(QStringLiteral("plain")) << QJsonValue(QStringLiteral("plain"));
        QTest::newRow("map")
            << QVariant(QVariantMap{{QStringLiteral("count"), 3}, {QStringLiteral("name"), "x"}})
            << QJsonValue(QJsonObject{{QStringLiteral("count"), 3}, {QStringLiteral("name"), "x"}});
    }
    void json() {
        QFETCH(QVariant, context);
        QFETCH(QJsonValue, expected);
        BaseDestination d;
        d.setFormat(QStringLiteral("$J"));
        LogEntry entry = makeEntry(Level::Warning, QStringLiteral("quote \" and\nnew line  "), fixedUs);
        entry.context = context;
        const QString line = *d.send(entry);
        QJsonObject object{{"timestamp", double(fixedUs) / 1e6},
                           {"level", 3},
                           {"message", entry.message},
                           {"thread", "worker"},
                           {"file", "/src/engine/Concurrency.swift"},
                           {"function", "triage()"},
                           {"line", 42}};
        if (!expected.isUndefined())
            object.insert(QStringLiteral("context"), expected);
        QCOMPARE(QJsonDocument::fromJson(line.toUtf8()).object(), object);
    }

    void filters() {
        BaseDestination d;
        auto takes = [&](const QString& path, const QString& function, const QString& message) {
            return d.shouldLevelBeLogged(Level::Info, path, function, [&] { return message; });
        };
        d.addFilter(
            Filter::message(Filter::Comparison::Contains, {QStringLiteral("secret")}, false, false, true));
        QVERIFY(takes("/a/b.cpp", "f()", "all fine"));
        QVERIFY(!takes("/a/b.cpp", "f()", "a SECRET value"));
        d.addFilter(
            Filter::path(Filter::Comparison::StartsWith, {QStringLiteral("/src/engine/")}, true, true));
        QVERIFY(takes("/src/engine/Process.cpp", "f()", "ok"));
        QVERIFY(!takes("/src/store/Database.cpp", "f()", "ok"));
        d.addFilter(Filter::function(Filter::Comparison::Equals,
                                     {QStringLiteral("triage()"), QStringLiteral("run()")}));
        d.addFilter(Filter::function(Filter::Comparison::EndsWith, {QStringLiteral("Later()")}));
        QVERIFY(takes("/src/engine/Process.cpp", "run()", "ok"));
        QVERIFY(takes("/src/engine/Process.cpp", "saveLater()", "ok"));
        QVERIFY(!takes("/src/engine/Process.cpp", "other()", "ok"));
        d.setMinLevel(Level::Error);
        QVERIFY(!takes("/src/engine/Process.cpp", "run()", "ok"));
        d.setFilters({});
        QVERIFY(!takes("/x", "f()", "secret"));
        QVERIFY(d.shouldLevelBeLogged(Level::Error, "/x", "f()", [] { return QStringLiteral("secret"); }));
    }

    void debugPrintTexts() {
        BaseDestination d;
        d.setDebugPrint(true);
        d.setMinLevel(Level::Warning);
        trevalin::test::OutputCapture capture;
        d.shouldLevelBeLogged(Level::Error, {}, {}, {});
        d.shouldLevelBeLogged(Level::Debug, {}, {}, {});
        d.addFilter(Filter::message(Filter::Comparison::Contains, {QStringLiteral("x")}, false, true));
        d.shouldLevelBeLogged(Level::Error, {}, {}, [] { return QStringLiteral("y"); });
        d.setDebugPrint(false);
        d.shouldLevelBeLogged(Level::Debug, {}, {}, {});
        QCOMPARE(capture.text(), QStringLiteral("filters are empty and level >= minLevel\n"
                                                "filters are empty and level < minLevel\n"
                                                "filters are not empty and message was excluded\n"));
    }
};

TREVALIN_TEST_MAIN(TestBaseDestination)
#include "tst_BaseDestination.moc"
