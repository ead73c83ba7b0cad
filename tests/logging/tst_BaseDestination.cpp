// Rendering of log lines: the format language, padding, trailing white space,
// JSON rendering, filters and the debug print texts.
#include "LogTestSupport.h"
#include "TestMain.h"
#include "logging/BaseDestination.h"
#include "logging/ConsoleDestination.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

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
    void formatTokens_data();
    void formatTokens();
    void localDateToken();
    void defaultFormat();
    void applicationFormatAtInfo();
    void uptimeToken();
    void contextToken_data();
    void contextToken();
    void jsonRendering();
    void jsonWithContext();
    void filters();
    void debugPrintTexts();
};

void TestBaseDestination::formatTokens_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected");

    // Name, format, expected line, then the message ("m" unless given) and level (Info unless given).
    auto row = [](const char* name, const char* format, const char* expected, const char* message = "m",
                  Level level = Level::Info) {
        QTest::newRow(name) << QString::fromUtf8(format) << int(level) << QString::fromUtf8(message)
                            << QString::fromUtf8(expected);
    };
    row("no dollar", "plain text, no tokens", "plain text, no tokens");
    row("empty format", "", "");
    row("text before first token", "pre $L post", "pre INFO post");
    row("level words", "$L", "VERBOSE", "m", Level::Verbose);
    row("error word", "$L", "ERROR", "m", Level::Error);
    row("message", "<$M>", "<hello>", "hello");
    row("thread", "[$T]", "[worker]");
    row("file name cut at first dot", "$N", "Concurrency");
    row("last path component", "$n", "Concurrency.swift");
    row("function", "$F", "triage()");
    row("line", "$l", "42");
    row("all source tokens", "$N.$F:$l - $M", "Concurrency.triage():42 - x", "x");
    row("d and z are empty", "a$db$zc", "abc");
    row("colour tokens empty", "$C$L$c: $M", "INFO: m");
    row("utc date", "$Zyyyy-MM-dd HH:mm:ss.SSS$z|", "2024-03-05 07:08:09.123|");
    row("utc iso", "$Zyyyy-MM-dd'T'HH:mm:ss.SSSZZZZZ$z", "2024-03-05T07:08:09.123Z");
    row("date consumes its rest", "$ZHH:mm$z $M", "07:08 m");
    row("no context", "[$X]", "[]");
    row("pad 8", "$8L", "    INFO");
    row("pad -8", "$-8L|", "INFO    |");
    row("pad 2 never cuts", "$2L", "INFO");
    row("pad -2 never cuts", "$-2L|", "INFO|");
    row("pad 0", "$0L", "INFO");
    row("pad message", "[$6M]", "[    ab]", "ab");
    row("pad line left", "$-5l|", "42   |");
    row("pad date", "$14ZHH:mm$z|", "         07:08|");
    row("pad empty token", "a$3db", "a   b");
    row("trailing spaces of message", "$M", "hello", "hello   ");
    row("trailing new lines of message", "$M", "hello", "hello \n\n\t");
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

void TestBaseDestination::formatTokens() {
    QFETCH(QString, format);
    QFETCH(int, level);
    QFETCH(QString, message);
    QFETCH(QString, expected);
    BaseDestination d;
    d.setFormat(format);
    QCOMPARE(d.format(), format);
    const std::optional<QString> line = d.send(makeEntry(Level(level), message, fixedUs));
    QVERIFY(line.has_value());
    QCOMPARE(*line, expected);
}

void TestBaseDestination::localDateToken() {
    BaseDestination d;
    d.setFormat(QStringLiteral("$Dyyyy-MM-dd HH:mm:ss.SSS$d"));
    const QString expected = QDateTime::fromMSecsSinceEpoch(fixedUs / 1000)
                                 .toLocalTime()
                                 .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    QCOMPARE(*d.send(makeEntry(Level::Info, QStringLiteral("m"), fixedUs)), expected);
}

void TestBaseDestination::defaultFormat() {
    BaseDestination d;
    const QString time =
        QDateTime::fromMSecsSinceEpoch(fixedUs / 1000).toLocalTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    QCOMPARE(*d.send(makeEntry(Level::Warning, QStringLiteral("went wrong"), fixedUs)),
             time + QStringLiteral(" WARNING Concurrency.triage():42 - went wrong"));
}

void TestBaseDestination::applicationFormatAtInfo() {
    ConsoleDestination d;
    d.setFormat(QStringLiteral("$Dyyyy-MM-dd HH:mm:ss.SSS$d $C$L$c: $M"));
    const QString date = QDateTime::fromMSecsSinceEpoch(fixedUs / 1000)
                             .toLocalTime()
                             .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    const LogEntry entry = makeEntry(Level::Info, QStringLiteral("Started [ App.run() ]"), fixedUs);
    QCOMPARE(d.formatMessage(entry), date + QStringLiteral(" \U0001F499 INFO: Started [ App.run() ]"));
    d.setLevelString(Level::Info, QStringLiteral("Info"));
    QCOMPARE(d.formatMessage(entry), date + QStringLiteral(" \U0001F499 Info: Started [ App.run() ]"));
}

void TestBaseDestination::uptimeToken() {
    BaseDestination d;
    d.setFormat(QStringLiteral("$U|$12U|"));
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(fixedUs / 1000);
    d.setStartDate(start);
    const qint64 startUs = start.toMSecsSinceEpoch() * 1000;
    QCOMPARE(*d.send(makeEntry(Level::Info, {}, startUs + 3723456000LL)),
             QStringLiteral("01:02:03.456|01:02:03.456|"));
    QCOMPARE(*d.send(makeEntry(Level::Info, {}, startUs + 59999000LL)),
             QStringLiteral("00:00:59.999|00:00:59.999|"));
    QCOMPARE(*d.send(makeEntry(Level::Info, {}, startUs + 360000000000LL + 7000)),
             QStringLiteral("100:00:00.007|100:00:00.007|"));
    QCOMPARE(*d.send(makeEntry(Level::Info, {}, startUs)), QStringLiteral("00:00:00.000|00:00:00.000|"));
}

void TestBaseDestination::contextToken_data() {
    QTest::addColumn<QVariant>("context");
    QTest::addColumn<QString>("expected");
    QTest::newRow("string trimmed") << QVariant(QStringLiteral("  \n ctx value \n")) << "[ctx value]";
    QTest::newRow("number") << QVariant(17) << "[17]";
    QTest::newRow("list") << QVariant(QStringList{QStringLiteral("a"), QStringLiteral("b")})
                          << "[[\"a\",\"b\"]]";
    QTest::newRow("padded") << QVariant(QStringLiteral("x")) << "[x]";
}

void TestBaseDestination::contextToken() {
    QFETCH(QVariant, context);
    QFETCH(QString, expected);
    BaseDestination d;
    d.setFormat(QStringLiteral("[$X]"));
    LogEntry entry = makeEntry(Level::Info, QStringLiteral("m"), fixedUs);
    entry.context = context;
    QCOMPARE(*d.send(entry), expected);
    d.setFormat(QStringLiteral("[$-3X]"));
    entry.context = QStringLiteral("x");
    QCOMPARE(*d.send(entry), QStringLiteral("[x  ]"));
}

void TestBaseDestination::jsonRendering() {
    BaseDestination d;
    d.setFormat(QStringLiteral("$J"));
    LogEntry entry = makeEntry(Level::Warning, QStringLiteral("quote \" and\nnew line  "), fixedUs);
    const std::optional<QString> line = d.send(entry);
    QVERIFY(line.has_value());
    QVERIFY(!line->contains(u'\n'));
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line->toUtf8(), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonObject o = doc.object();
    QCOMPARE(o.value("timestamp").toDouble(), double(fixedUs) / 1e6);
    QCOMPARE(o.value("level").toInt(-1), 3);
    QCOMPARE(o.value("message").toString(), entry.message);
    QCOMPARE(o.value("thread").toString(), QStringLiteral("worker"));
    QCOMPARE(o.value("file").toString(), QStringLiteral("/src/engine/Concurrency.swift"));
    QCOMPARE(o.value("function").toString(), QStringLiteral("triage()"));
    QCOMPARE(o.value("line").toInt(), 42);
    QVERIFY(!o.contains("context"));
    QCOMPARE(o.size(), 7);
}

void TestBaseDestination::jsonWithContext() {
    BaseDestination d;
    d.setFormat(QStringLiteral("$J"));
    LogEntry entry = makeEntry(Level::Info, QStringLiteral("m"), fixedUs);
    entry.context = QVariantMap{{QStringLiteral("count"), 3}, {QStringLiteral("name"), QStringLiteral("x")}};
    const QJsonObject o = QJsonDocument::fromJson(d.send(entry)->toUtf8()).object();
    QCOMPARE(o.value("context").toObject().value("count").toInt(), 3);
    QCOMPARE(o.value("context").toObject().value("name").toString(), QStringLiteral("x"));
    entry.context = QStringLiteral("plain");
    QCOMPARE(QJsonDocument::fromJson(d.send(entry)->toUtf8()).object().value("context").toString(),
             QStringLiteral("plain"));
}

void TestBaseDestination::filters() {
    BaseDestination d;
    auto takes = [&](const QString& path, const QString& function, const QString& message) {
        return d.shouldLevelBeLogged(Level::Info, path, function, [&] { return message; });
    };
    d.addFilter(
        Filter::message(Filter::Comparison::Contains, {QStringLiteral("secret")}, false, false, true));
    QVERIFY(takes("/a/b.cpp", "f()", "all fine"));
    QVERIFY(!takes("/a/b.cpp", "f()", "a SECRET value"));
    d.addFilter(Filter::path(Filter::Comparison::StartsWith, {QStringLiteral("/src/engine/")}, true, true));
    QVERIFY(takes("/src/engine/Process.cpp", "f()", "ok"));
    QVERIFY(!takes("/src/store/Database.cpp", "f()", "ok"));
    d.addFilter(
        Filter::function(Filter::Comparison::Equals, {QStringLiteral("triage()"), QStringLiteral("run()")}));
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

void TestBaseDestination::debugPrintTexts() {
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

TREVALIN_TEST_MAIN(TestBaseDestination)
#include "tst_BaseDestination.moc"
