// The console destination: heart markers, terminal colours and where lines go.
#include "LogTestSupport.h"
#include "TestMain.h"
#include "logging/ConsoleDestination.h"

#include <QtTest>

using namespace trevalin;
using trevalin::test::makeEntry;
using trevalin::test::OutputCapture;

class TestConsoleDestination : public QObject {
    Q_OBJECT
private slots:
    void heartsByDefault_data();
    void heartsByDefault();
    void terminalColors();
    void whereLinesGo_data();
    void whereLinesGo();
};

void TestConsoleDestination::heartsByDefault_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("expected");
    QTest::newRow("verbose") << 0 << QString::fromUtf8("\xF0\x9F\x92\x9C VERBOSE: m");
    QTest::newRow("debug") << 1 << QString::fromUtf8("\xF0\x9F\x92\x9A DEBUG: m");
    QTest::newRow("info") << 2 << QString::fromUtf8("\xF0\x9F\x92\x99 INFO: m");
    QTest::newRow("warning") << 3 << QString::fromUtf8("\xF0\x9F\x92\x9B WARNING: m");
    QTest::newRow("error") << 4 << QString::fromUtf8("\xE2\x9D\xA4\xEF\xB8\x8F ERROR: m");
}

void TestConsoleDestination::heartsByDefault() {
    QFETCH(int, level);
    QFETCH(QString, expected);
    ConsoleDestination d;
    QVERIFY(!d.useNSLog());
    QVERIFY(!d.useTerminalColors());
    d.setFormat(QStringLiteral("$C$L$c: $M"));
    QCOMPARE(d.formatMessage(makeEntry(Level(level), QStringLiteral("m"))), expected);
}

void TestConsoleDestination::terminalColors() {
    ConsoleDestination d;
    d.setFormat(QStringLiteral("$C$L$c"));
    d.setUseTerminalColors(true);
    QCOMPARE(d.reset(), QStringLiteral("\x1b[0m"));
    QCOMPARE(d.escape(), QStringLiteral("\x1b[38;5;"));
    const char* codes[] = {"251m", "35m", "38m", "178m", "197m"};
    const char* words[] = {"VERBOSE", "DEBUG", "INFO", "WARNING", "ERROR"};
    for (int l = 0; l < 5; ++l) {
        QCOMPARE(d.levelColor(Level(l)), QString::fromLatin1(codes[l]));
        QCOMPARE(
            d.formatMessage(makeEntry(Level(l), {})),
            QStringLiteral("\x1b[38;5;%1%2\x1b[0m").arg(QLatin1String(codes[l]), QLatin1String(words[l])));
    }
    // Switching back restores the hearts; escape and reset stay.
    d.setUseTerminalColors(false);
    QCOMPARE(d.levelColor(Level::Info), QString::fromUtf8("\xF0\x9F\x92\x99 "));
    QCOMPARE(d.escape(), QStringLiteral("\x1b[38;5;"));
    QCOMPARE(d.reset(), QStringLiteral("\x1b[0m"));
}

void TestConsoleDestination::whereLinesGo_data() {
    QTest::addColumn<bool>("systemLog");
    QTest::newRow("standard output") << false;
    QTest::newRow("system log: standard error") << true;
}

void TestConsoleDestination::whereLinesGo() {
    QFETCH(bool, systemLog);
    ConsoleDestination d;
    d.setFormat(QStringLiteral("$L $M"));
    d.setUseNSLog(systemLog);
    OutputCapture out;
    OutputCapture err(STDERR_FILENO);
    QCOMPARE(*d.send(makeEntry(Level::Warning, QStringLiteral("a line \n"))),
             QStringLiteral("WARNING a line"));
    const QString written = QStringLiteral("WARNING a line\n");
    QCOMPARE(out.text(), systemLog ? QString() : written);
    QCOMPARE(err.text(), systemLog ? written : QString());
}

TREVALIN_TEST_MAIN(TestConsoleDestination)
#include "tst_ConsoleDestination.moc"
