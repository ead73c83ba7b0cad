// Tests of the application's log set-up: which destinations each configuration
// installs, with which format and file, the two printed lines, and the lines
// that reach the console and the log file.
#include "LogTestSupport.h"
#include "TestMain.h"

#include "logging/ConsoleDestination.h"
#include "logging/FileDestination.h"
#include "logging/Log.h"
#include "logging/Logger.h"
#include "logging/PlatformDestination.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace trevalin;
using Outputs = Log::Outputs;
using OutputList = QList<Log::Outputs>;

namespace {

QString appData() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

} // namespace

class LogTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        Logger::flush(5);
        Logger::removeAllDestinations();
    }

    void installation_data() {
        QTest::addColumn<OutputList>("outputs");
        QTest::addColumn<QString>("firstLine");
        QTest::addColumn<bool>("console");
        QTest::addColumn<bool>("cloud");
        QTest::addColumn<bool>("file");
        // clang-format off
        QTest::newRow("start-up") << OutputList{Outputs::Console, Outputs::File} << "Console File " << true << false << true;
        QTest::newRow("empty") << OutputList{} << "" << false << false << false;
        QTest::newRow("console") << OutputList{Outputs::Console} << "Console " << true << false << false;
        QTest::newRow("file") << OutputList{Outputs::File} << "File " << false << false << true;
        QTest::newRow("cloud") << OutputList{Outputs::Cloud} << "Cloud " << false << true << false;
        QTest::newRow("all, listed backwards") << OutputList{Outputs::File, Outputs::Cloud, Outputs::Console} << "File Cloud Console " << true << true << true;
        // clang-format on
    }
    void installation() {
        QFETCH(OutputList, outputs);
        QFETCH(QString, firstLine);
        QFETCH(bool, console);
        QFETCH(bool, cloud);
        QFETCH(bool, file);

        test::OutputCapture capture;
        const Log log(outputs, PlatformCredentials::builtIn());
        QString expected = QStringLiteral("Logging to destinations: ") + firstLine + u'\n';
        if (file)
            expected += QStringLiteral("Local log output file path: ") + appData() +
                        QStringLiteral("/org.corvane.Trevalin.log\n");
        QCOMPARE(capture.text(), expected);

        QCOMPARE(log.cloudStatus(), cloud);
        QCOMPARE(Logger::countDestinations(), int(console) + int(cloud) + int(file));
        // Removal by identity tells exactly which destinations were installed; those
        // have the application's format.
        const std::pair<std::shared_ptr<BaseDestination>, bool> destinations[] = {
            {log.console(), console}, {log.cloud(), cloud}, {log.file(), file}};
        for (const auto& [destination, installed] : destinations) {
            QCOMPARE(Logger::removeDestination(destination), installed);
            QCOMPARE(destination->format() == QString::fromLatin1(Log::logFormat), installed);
        }
        // The upload destination always exists, with the built-in credentials.
        QCOMPARE(log.cloud()->appID(), QString::fromLatin1(PlatformCredentials::builtInAppID));
    }

    // The start-up configuration: lines in the application's format on the console
    // and in org.corvane.Trevalin.log; the upload destination only updates its record.
    void startupConfigurationWritesConsoleAndFile() {
        QFile::remove(Log::logFilePath());
        test::OutputCapture capture;
        const Log log(Log::startupDestinations(), PlatformCredentials::builtIn());
        TLOG_INFO(QStringLiteral("hello from the set-up"));
        TLOG_ERROR(QStringLiteral("and an error  \n"));
        QVERIFY(Logger::flush(5));
        const QStringList printed = capture.text().split(u'\n');

        QCOMPARE(printed.value(0), QStringLiteral("Logging to destinations: Console File "));
        QCOMPARE(printed.value(1), QStringLiteral("Local log output file path: ") + Log::logFilePath());
        // A line is the date and time to the millisecond, then `text`.
        auto stamped = [](const QString& line, const QString& text) {
            return QRegularExpression("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3} " +
                                      QRegularExpression::escape(text) + "$")
                .match(line)
                .hasMatch();
        };
        QVERIFY2(stamped(printed.value(2), "💙 INFO: hello from the set-up"), qPrintable(printed.value(2)));
        QVERIFY2(stamped(printed.value(3), "❤️ ERROR: and an error"), qPrintable(printed.value(3)));

        const QStringList lines =
            QString::fromUtf8(test::readAll(Log::logFilePath())).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(stamped(lines.at(0), "INFO: hello from the set-up"), qPrintable(lines.at(0)));
        QVERIFY2(stamped(lines.at(1), "ERROR: and an error"), qPrintable(lines.at(1)));

        QVERIFY(!log.cloudStatus());
        // Not installed, so nothing was stored for upload.
        QVERIFY(!QFileInfo::exists(log.cloud()->entriesFilePath()));
        QVERIFY(QFileInfo::exists(log.cloud()->analyticsFilePath()));
    }

    void urlChangesNeitherFileNorEndpoint() {
        test::OutputCapture capture;
        const QUrl url(QStringLiteral("https://elsewhere.corvane.org/entries"));
        const Log log({Outputs::File}, PlatformCredentials::builtIn(), url);
        QCOMPARE(log.file()->logFilePath(), Log::logFilePath());
        QCOMPARE(log.cloud()->serverURL(), QUrl(QString::fromLatin1(PlatformDestination::defaultServerURL)));
        QVERIFY(capture.text().endsWith(QStringLiteral("Local log output file path: ") + Log::logFilePath() +
                                        u'\n'));
    }
};

TREVALIN_TEST_MAIN(LogTest)
#include "tst_Log.moc"
