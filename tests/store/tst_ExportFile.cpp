// ExportFile: what each kind of target holds after an export, and what stays of it.
#include "TestMain.h"
#include "model/ModelTestSupport.h"

#include "store/ExportFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace trevalin;
using trevalin::test::readAll;

namespace {

const QByteArray kText = QByteArrayLiteral("Path,MD5,SHA1,SHA256,SHA384,SHA512\r/a,,1,,,\r");

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

mode_t lmode(const QString& path) {
    struct stat st;
    return ::lstat(native(path).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

} // namespace

class ExportFileTest : public QObject {
    Q_OBJECT

private slots:
    // Regular files and links to them: the text arrives, the links stay links.
    void regularTargets_data() {
        QTest::addColumn<QString>("setup");
        QTest::newRow("new file") << "none";
        QTest::newRow("existing file replaced") << "file";
        QTest::newRow("absolute link to a file") << "absolute link";
        QTest::newRow("relative link through a link") << "relative chain";
        QTest::newRow("dangling link creates its target") << "dangling link";
    }
    void regularTargets() {
        QFETCH(QString, setup);
        QTemporaryDir dir;
        const QString named = dir.path() + "/export.csv";
        const QString target = dir.path() + "/sub/target.csv";
        QVERIFY(QDir().mkpath(dir.path() + "/sub"));
        if (setup != "none" && setup != "dangling link")
            QVERIFY(
                test::writeFile(target, "old content longer than the export text, so any leftover shows\n"));
        if (setup == "file")
            QVERIFY(QFile::rename(target, named));
        if (setup == "absolute link" || setup == "dangling link")
            QCOMPARE(::symlink(native(target).constData(), native(named).constData()), 0);
        if (setup == "relative chain") {
            QCOMPARE(::symlink("sub/middle", native(named).constData()), 0);
            QCOMPARE(::symlink("target.csv", native(dir.path() + "/sub/middle").constData()), 0);
        }

        ExportFile::write(named, kText);

        const bool linked = setup != "none" && setup != "file";
        QCOMPARE(lmode(named), mode_t(linked ? S_IFLNK : S_IFREG));
        QCOMPARE(readAll(named), kText);
        if (linked)
            QCOMPARE(lmode(target), mode_t(S_IFREG));
        // No temporary file is left beside the target.
        QCOMPARE(QDir(dir.path() + "/sub").entryList(QDir::Files | QDir::Hidden).size(),
                 setup == "relative chain" ? 2 : (linked ? 1 : 0));
    }

    // A FIFO or a character device (a null device made here) reached through a link is
    // written into, not replaced: node and link stay, and the FIFO's reader gets the text.
    void specialFilesAreWrittenInto_data() {
        QTest::addColumn<bool>("fifo"); // else the device
        QTest::newRow("FIFO") << true;
        QTest::newRow("character device") << false;
    }
    void specialFilesAreWrittenInto() {
        QFETCH(bool, fifo);
        if (!fifo && ::geteuid() != 0)
            QSKIP("making a device node needs root");
        QTemporaryDir dir;
        const QString node = dir.path() + "/node";
        const QString link = dir.path() + "/out.csv";
        QCOMPARE(fifo ? ::mkfifo(native(node).constData(), 0600)
                      : ::mknod(native(node).constData(), S_IFCHR | 0666, makedev(1, 3)),
                 0);
        QCOMPARE(::symlink(native(node).constData(), native(link).constData()), 0);
        // The FIFO's read end is open first, so the export's open neither blocks nor fails.
        const int reader = fifo ? ::open(native(node).constData(), O_RDONLY | O_NONBLOCK) : -1;
        ExportFile::write(link, kText);
        QByteArray received(kText.size() + 1, '\0');
        received.truncate(fifo ? std::max<qsizetype>(0, ::read(reader, received.data(), received.size()))
                               : 0);
        if (fifo)
            ::close(reader);
        QCOMPARE(received, fifo ? kText : QByteArray());
        QCOMPARE(lmode(node), mode_t(fifo ? S_IFIFO : S_IFCHR));
        QCOMPARE(lmode(link), mode_t(S_IFLNK));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size(),
                 2);
    }

    // Failures name the location as given and the cause, and leave what was there.
    void failuresNamePathAndCause_data() {
        QTest::addColumn<QString>("setup");
        QTest::newRow("a folder") << "folder";
        QTest::newRow("a missing folder") << "missing folder";
        QTest::newRow("a loop of links") << "loop";
    }
    void failuresNamePathAndCause() {
        QFETCH(QString, setup);
        QTemporaryDir dir;
        QString named = dir.path() + "/x.csv";
        if (setup == "folder")
            QVERIFY(QDir().mkpath(named));
        if (setup == "missing folder")
            named = dir.path() + "/missing/x.csv";
        if (setup == "loop") {
            QCOMPARE(::symlink("y.csv", native(named).constData()), 0);
            QCOMPARE(::symlink("x.csv", native(dir.path() + "/y.csv").constData()), 0);
        }
        try {
            ExportFile::write(named, kText);
            QFAIL("no error");
        } catch (const ExportFileError& error) {
            QCOMPARE(error.path(), named);
            QVERIFY(!error.cause().isEmpty());
            QVERIFY(QString::fromStdString(error.what()).startsWith(named + ": "));
        }
        if (setup == "folder")
            QCOMPARE(lmode(named), mode_t(S_IFDIR));
        if (setup == "loop")
            QCOMPARE(lmode(named), mode_t(S_IFLNK));
    }
};

TREVALIN_TEST_MAIN(ExportFileTest)

#include "tst_ExportFile.moc"
