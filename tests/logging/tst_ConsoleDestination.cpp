// The console destination: level markers (hearts, or terminal colours) and where lines go.
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
    void levelMarkers_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("heart");
        QTest::addColumn<QString>("colored"); // with terminal colours, after the escape
        auto row = [](const char* name, int level, const char* heart, const char* colored) {
            QTest::newRow(name) << level << QString::fromUtf8(heart) << QString::fromLatin1(colored);
        };
        row("verbose", 0, "💜 VERBOSE", "251mVERBOSE");
        row("debug", 1, "💚 DEBUG", "35mDEBUG");
        row("info", 2, "💙 INFO", "38mINFO");
        row("warning", 3, "💛 WARNING", "178mWARNING");
        row("error", 4, "❤️ ERROR", "197mERROR");
    }
    void levelMarkers() {
        QFETCH(int, level);
        QFETCH(QString, heart);
        QFETCH(QString, colored);
        ConsoleDestination d;
        d.setFormat(QStringLiteral("$C$L$c"));
        const LogEntry entry = makeEntry(Level(level), {});
        QCOMPARE(d.formatMessage(entry), heart);
        d.setUseTerminalColors(true);
        QCOMPARE(d.formatMessage(entry), QStringLiteral("\x1b[38;5;") + colored + QStringLiteral("\x1b[0m"));
        // Switching back restores the hearts; escape and reset stay.
        d.setUseTerminalColors(false);
        QCOMPARE(d.formatMessage(entry), QStringLiteral("\x1b[38;5;") + heart + QStringLiteral("\x1b[0m"));
    }

    void whereLinesGo_data() {
        QTest::addColumn<bool>("systemLog");
        QTest::newRow("standard output") << false;
        QTest::newRow("system log: standard error") << true;
    }
    void whereLinesGo() {
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
};

TREVALIN_TEST_MAIN(TestConsoleDestination)
#include "tst_ConsoleDestination.moc"
