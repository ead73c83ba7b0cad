// The file destination: appending, rotating, reopening, removing, a disk that
// fills up, the default location and the failure texts.
#include "LogTestSupport.h"
#include "TestMain.h"
#include "logging/FileDestination.h"
#include "logging/Logger.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <future>

#include <sys/mount.h>
#include <unistd.h>

using namespace trevalin;
using trevalin::test::makeEntry;
using trevalin::test::OutputCapture;
using trevalin::test::readAll;
using trevalin::test::writeFile;

namespace {

// Sends lines synchronously on the destination's queue, as the logger does.
void write(FileDestination& d, const QString& message) {
    const LogEntry entry = makeEntry(Level::Info, message);
    d.queue().sync([&] { d.send(entry); });
}

// A destination at `path` that writes the bare message and keeps `amount` files of
// about 50 bytes.
std::unique_ptr<FileDestination> plain(const QString& path, int amount = 1) {
    auto d = std::make_unique<FileDestination>(path);
    d->setFormat(QStringLiteral("$M"));
    d->setLogFileAmount(amount);
    d->setLogFileMaxSize(50);
    return d;
}

// Line `i` of the rotation tests: 19 characters, 20 bytes with its line feed.
QString numbered(int i) {
    return QStringLiteral("line %1").arg(i, 2, 10, QChar(u'0')).leftJustified(19, u'.');
}

// A tmpfs of `pages` memory pages mounted on a fresh folder for the life of the
// object: a disk that really fills up. Needs root (CAP_SYS_ADMIN).
struct SmallDisk : QTemporaryDir {
    explicit SmallDisk(int pages)
        : mounted(::mount("tmpfs", QFile::encodeName(path()).constData(), "tmpfs", 0,
                          ("size=" + QByteArray::number(pages * pageSize())).constData()) == 0) {}
    ~SmallDisk() {
        if (mounted)
            ::umount2(QFile::encodeName(path()).constData(), MNT_DETACH);
    }
    static qint64 pageSize() { return ::sysconf(_SC_PAGESIZE); }
    const bool mounted;
};

} // namespace

class TestFileDestination : public QObject {
    Q_OBJECT
private slots:
    void defaultPath() {
        const QString caches = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        const QString folder = caches + QStringLiteral("/tst_FileDestination");
        QCOMPARE(FileDestination().logFilePath(), folder + QStringLiteral("/logger.log"));
        QVERIFY(QFileInfo(folder).isDir());
        // With a file where the folder should be, the log goes straight into the cache folder.
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(writeFile(folder, {}));
        OutputCapture capture;
        QCOMPARE(FileDestination::defaultLogFilePath(), caches + QStringLiteral("/logger.log"));
        QCOMPARE(capture.text(),
                 QStringLiteral("Warning! Could not create folder /Library/Caches/tst_FileDestination\n"));
        QVERIFY(QFile::remove(folder));
    }

    void rotation_data() {
        // Lines are 20 bytes with their line feed; the maximum is 50 bytes, so a file
        // holds three lines (60 bytes) before the next write rotates it.
        QTest::addColumn<int>("amount");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QStringList>("expectedFiles"); // live, .1, .2, ...: first and last line numbers
        QTest::addColumn<bool>("throughLogger");        // many lines per write through the async queue
        QTest::newRow("amount 2, 10 lines") << 2 << 10 << QStringList{"10-10", "7-9"} << false;
        QTest::newRow("amount 3, 3 lines") << 3 << 3 << QStringList{"1-3"} << false;
        QTest::newRow("amount 3, 4 lines") << 3 << 4 << QStringList{"4-4", "1-3"} << false;
        QTest::newRow("amount 3, 10 lines") << 3 << 10 << QStringList{"10-10", "7-9", "4-6"} << false;
        QTest::newRow("amount 3, 12 lines") << 3 << 12 << QStringList{"10-12", "7-9", "4-6"} << false;
        QTest::newRow("amount 3, 30 lines, batched")
            << 3 << 30 << QStringList{"28-30", "25-27", "22-24"} << true;
        QTest::newRow("amount 1 never rotates") << 1 << 30 << QStringList{"1-30"} << false;
        QTest::newRow("amount 1, 30 lines, batched") << 1 << 30 << QStringList{"1-30"} << true;
    }
    void rotation() {
        QFETCH(int, amount);
        QFETCH(int, lines);
        QFETCH(QStringList, expectedFiles);
        QFETCH(bool, throughLogger);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("rot.log"));
        std::shared_ptr<FileDestination> d = plain(path, amount);
        if (throughLogger) {
            Logger::addDestination(d);
            // Hold the queue so that all lines are taken in one run.
            std::promise<void> release;
            d->queue().async([gate = release.get_future().share()] { gate.wait(); });
            for (int i = 1; i <= lines; ++i)
                TLOG_INFO(numbered(i));
            release.set_value();
            QVERIFY(Logger::flush(10));
            Logger::removeAllDestinations();
        } else {
            for (int i = 1; i <= lines; ++i)
                write(*d, numbered(i));
        }

        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), expectedFiles.size());
        for (int f = 0; f < expectedFiles.size(); ++f) {
            QByteArray expected;
            for (int i = expectedFiles[f].section(u'-', 0, 0).toInt();
                 i <= expectedFiles[f].section(u'-', 1).toInt(); ++i)
                expected += numbered(i).toUtf8() + '\n';
            QCOMPARE(readAll(f == 0 ? path : path + u'.' + QString::number(f)), expected);
        }
    }

    void rotationAtTheSizeLimit_data() {
        // The live file is rotated only once it is larger than the limit (50 bytes);
        // until then lines are appended to what it holds.
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("rotates");
        QTest::newRow("one byte under the limit") << 49 << false;
        QTest::newRow("exactly the limit") << 50 << false;
        QTest::newRow("one byte over the limit") << 51 << true;
    }
    void rotationAtTheSizeLimit() {
        QFETCH(int, size);
        QFETCH(bool, rotates);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("limit.log"));
        const QByteArray old = QByteArray(size - 1, 'o') + '\n';
        // The oldest history file is replaced; a stray one beyond the amount is left alone.
        QVERIFY(writeFile(path, old) && writeFile(path + ".1", "history\n") &&
                writeFile(path + ".5", "stray\n"));
        write(*plain(path, 2), QStringLiteral("nëxt 💙")); // appended as UTF-8
        const QByteArray next = QStringLiteral("nëxt 💙\n").toUtf8();
        QCOMPARE(readAll(path), rotates ? next : old + next);
        QCOMPARE(readAll(path + ".1"), rotates ? old : QByteArray("history\n"));
        QCOMPARE(readAll(path + ".5"), QByteArray("stray\n"));
        QVERIFY(!QFile::exists(path + ".2"));
    }

    void reopensWhenTheFileIsGoneOrReplaced_data() {
        QTest::addColumn<QByteArray>("expected"); // at the path after the next line
        QTest::newRow("removed") << QByteArray("after\n");
        QTest::newRow("moved away") << QByteArray("after\n");
        QTest::newRow("replaced by another file") << QByteArray("replacement\nafter\n");
    }
    // The file stays open between lines; whatever happened to it at its path, the next
    // line goes to the file now at that path.
    void reopensWhenTheFileIsGoneOrReplaced() {
        QFETCH(QByteArray, expected);
        const QByteArray how = QTest::currentDataTag();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("open.log"));
        const QString aside = dir.filePath(QStringLiteral("aside.log"));
        const auto d = plain(path);
        write(*d, QStringLiteral("before"));
        if (how == "removed") {
            QVERIFY(QFile::remove(path));
        } else if (how == "moved away") {
            QVERIFY(QFile::rename(path, aside));
        } else {
            QVERIFY(writeFile(aside, "replacement\n"));
            QVERIFY(::rename(QFile::encodeName(aside).constData(), QFile::encodeName(path).constData()) == 0);
        }
        write(*d, QStringLiteral("after"));
        QCOMPARE(readAll(path), expected);
        if (how == "moved away")
            QCOMPARE(readAll(aside), QByteArray("before\n"));
    }

    void fullDiskKeepsHistoryAndLines_data() {
        QTest::addColumn<int>("freePages"); // room left for the live file
        QTest::newRow("full from the start: the live file stays empty") << 0;
        QTest::newRow("fills while writing: the live file ends in a torn line") << 1;
    }

    void fullDiskKeepsHistoryAndLines() {
        QFETCH(int, freePages);
        // Four pages: one per history file and two for the live file, which a filler takes
        // but for `freePages`.
        SmallDisk disk(4);
        if (!disk.mounted)
            QSKIP("A small tmpfs cannot be mounted here (needs root) to make the disk fill up");
        const QString path = disk.filePath(QStringLiteral("full.log"));
        const QString filler = disk.filePath(QStringLiteral("filler"));
        QVERIFY(writeFile(path + ".1", "history one\n"));
        QVERIFY(writeFile(path + ".2", "oldest history\n"));
        QVERIFY(writeFile(filler, QByteArray((2 - freePages) * SmallDisk::pageSize(), 'f')));

        const QByteArray recovered("after recovery");
        {
            const auto d = plain(path, 3);
            // More than the disk can hold, less than the lines sent while it is full.
            d->setLogFileMaxSize(2 * SmallDisk::pageSize());
            const qint64 lines = 5 * SmallDisk::pageSize() / 50;
            OutputCapture capture;
            // One run of the queue takes all lines, as a burst of logging does.
            std::promise<void> release;
            d->queue().async([gate = release.get_future().share()] { gate.wait(); });
            for (qint64 i = 0; i < lines; ++i) {
                const LogEntry entry =
                    makeEntry(Level::Info, QStringLiteral("line %1").arg(i).leftJustified(49, u'.'));
                d->queue().async([d = d.get(), entry] { d->send(entry); });
            }
            release.set_value();
            QVERIFY(d->queue().waitUntilDrained(20000));
            QVERIFY(capture.text().contains(QStringLiteral("Failed writing file with error: ")));

            // Space returns; the next line is written on a line of its own.
            QVERIFY(QFile::remove(filler));
            write(*d, QString::fromUtf8(recovered));
        }
        QCOMPARE(readAll(path + ".1"), QByteArray("history one\n"));
        QCOMPARE(readAll(path + ".2"), QByteArray("oldest history\n"));
        QVERIFY(!QFile::exists(path + ".3"));
        const QByteArray live = readAll(path);
        QVERIFY2(live == recovered + '\n' || live.endsWith('\n' + recovered + '\n'),
                 live.right(120).constData());
        QCOMPARE(live.size() > recovered.size() + 1, freePages > 0); // the lines that fitted stay
    }

    // A queue run's lines are written at its end; a synchronous destination's line is
    // in the file when the logging call returns. Coloured, the level has terminal colours.
    void synchronousColouredLines() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("now.log"));
        std::shared_ptr<FileDestination> d = plain(path);
        d->setFormat(QStringLiteral("$C$L$c $M"));
        d->setColored(true);
        d->setAsynchronously(false);
        Logger::addDestination(d);
        TLOG_INFO(QStringLiteral("first"));
        QCOMPARE(readAll(path), QByteArray("\x1b[38;5;38mINFO\x1b[0m first\n"));
        d->setColored(false);
        TLOG_ERROR(QStringLiteral("second"));
        QCOMPARE(readAll(path), QByteArray("\x1b[38;5;38mINFO\x1b[0m first\nERROR second\n"));
        Logger::removeAllDestinations();
    }

    // Lines go to the path last given, none without one; deleting the file is fine when
    // it is gone already, and the next line makes it again.
    void changingAndDeletingTheFile() {
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("first.log")),
                      second = dir.filePath(QStringLiteral("second.log"));
        const auto d = plain(first);
        write(*d, QStringLiteral("1"));
        d->setLogFileURL(QUrl::fromLocalFile(second));
        write(*d, QStringLiteral("2"));
        QVERIFY(d->deleteLogFile());
        QVERIFY(!QFile::exists(second));
        QVERIFY(d->deleteLogFile());
        write(*d, QStringLiteral("3"));
        d->setLogFilePath(QString());
        write(*d, QStringLiteral("4"));
        QCOMPARE(readAll(first), QByteArray("1\n"));
        QCOMPARE(readAll(second), QByteArray("3\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);

        // A path that cannot be removed (a non-empty folder) reports it.
        const QString folder = dir.filePath(QStringLiteral("folder"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/inner")));
        OutputCapture capture;
        QVERIFY(!FileDestination(folder).deleteLogFile());
        QCOMPARE(capture.text(), QStringLiteral("File destination could not remove file ") +
                                     QUrl::fromLocalFile(folder).toString() + u'\n');
    }

    void unwritablePathReportsFailure_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("error"); // how the first line begins
        // A folder where the file should be: it can be neither created nor written.
        QTest::newRow("folder") << QStringLiteral("isdir.log") << QStringLiteral("validateSaveFile error: ");
        // A file that exists but cannot be written: /dev/full fails every write.
        QTest::newRow("full device") << QStringLiteral("/dev/full")
                                     << QStringLiteral("Failed writing file with error: ");
    }
    void unwritablePathReportsFailure() {
        QFETCH(QString, path);
        QFETCH(QString, error);
        QTemporaryDir dir;
        if (!path.startsWith(u'/'))
            QVERIFY(QDir().mkpath(path = dir.filePath(path)));
        else if (!QFileInfo(path).isWritable())
            QSKIP("/dev/full is not available to make a write fail");
        OutputCapture capture;
        write(*plain(path), QStringLiteral("lost"));
        const QStringList out = capture.text().split(u'\n');
        QCOMPARE(out.size(), 3);
        QVERIFY2(out[0].startsWith(error), qPrintable(out[0]));
        QCOMPARE(out[1], QStringLiteral("File destination could not write to file ") +
                             QUrl::fromLocalFile(path).toString());
    }
};

TREVALIN_TEST_MAIN(TestFileDestination)
#include "tst_FileDestination.moc"
