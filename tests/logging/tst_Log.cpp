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
        // A server address given changes neither the log file (printed) nor the upload endpoint.
        const Log log(outputs, PlatformCredentials::builtIn(),
                      QUrl(QStringLiteral("https://elsewhere.corvane.org/e")));
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
        QCOMPARE(log.cloud()->serverURL(), QUrl(QString::fromLatin1(PlatformDestination::defaultServerURL)));
    }

    // The start-up configuration end to end: a line in the application's format on the
    // console and in org.corvane.Trevalin.log; the upload destination, not installed,
    // only updates its record.
    void startupConfigurationWritesConsoleAndFile() {
        QFile::remove(Log::logFilePath());
        test::OutputCapture capture;
        const Log log(Log::startupDestinations(), PlatformCredentials::builtIn());
        TLOG_ERROR(QStringLiteral("hello from the set-up"));
        QVERIFY(Logger::flush(5));
        const QRegularExpression stamp(
            QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3} "));
        const QString console = capture.text().split(u'\n').value(2);
        QVERIFY2(stamp.match(console).hasMatch(), qPrintable(console));
        QCOMPARE(console.mid(24), QStringLiteral("❤️ ERROR: hello from the set-up"));
        const QString file = QString::fromUtf8(test::readAll(Log::logFilePath()));
        QVERIFY2(stamp.match(file).hasMatch(), qPrintable(file));
        QCOMPARE(file.mid(24), QStringLiteral("ERROR: hello from the set-up\n"));
        QVERIFY(!QFileInfo::exists(log.cloud()->entriesFilePath()));
        QVERIFY(QFileInfo::exists(log.cloud()->analyticsFilePath()));
    }
};

TREVALIN_TEST_MAIN(LogTest)
#include "tst_Log.moc"
