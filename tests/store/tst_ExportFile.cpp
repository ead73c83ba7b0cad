// ExportFile: what each kind of target holds after an export, and what stays of it.
#include "TestMain.h"
#include "model/ModelTestSupport.h"

#include "store/ExportFile.h"

#include <QDir>
#include <QDirIterator>
#include <QMap>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace trevalin;

namespace {

const QByteArray kText = QByteArrayLiteral("Path,MD5,SHA1,SHA256,SHA384,SHA512\r/a,,1,,,\r");
const QByteArray kOld = QByteArrayLiteral("old content longer than the export text, so any leftover shows\n");

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// Every entry under `root` (links not followed), relative to it, with its file type.
QMap<QString, mode_t> listing(const QString& root) {
    QMap<QString, mode_t> out;
    QDirIterator it(root, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st;
        out.insert(path.mid(root.size() + 1),
                   ::lstat(native(path).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0);
    }
    return out;
}

} // namespace

class ExportFileTest : public QObject {
    Q_OBJECT

private slots:
    // Each row lays out a fresh folder and exports to x.csv in it. A regular file, or a
    // link to one (or to nothing yet), gets the text as a new regular file while the links
    // stay; a FIFO or a device behind a link is written into, not replaced (the FIFO's
    // reader gets the text); a failure names the location as given and the cause. Either
    // way nothing else in the folder changes: no temporary file is left.
    void write_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("receiver"); // the entry that becomes the new file; "-": none
        QTest::addColumn<bool>("fails");
        const auto row = [](const char* name, const char* setup, const char* receiver, bool fails = false) {
            QTest::newRow(name) << QString::fromUtf8(setup) << QString::fromUtf8(receiver) << fails;
        };
        row("new file", "none", "x.csv");
        row("existing file replaced", "file", "x.csv");
        row("absolute link to a file", "absolute link", "sub/t");
        row("relative link through a link", "relative chain", "sub/t");
        row("dangling link creates its target", "dangling link", "sub/t");
        row("link to a FIFO", "fifo", "-");
        row("link to a character device", "device", "-");
        row("a folder", "folder", "-", true);
        row("a missing folder", "missing folder", "-", true);
        row("a loop of links", "loop", "-", true);
    }
    void write() {
        QFETCH(QString, setup);
        QFETCH(QString, receiver);
        QFETCH(bool, fails);
        if (setup == "device" && ::geteuid() != 0)
            QSKIP("making a device node needs root");
        QTemporaryDir dir;
        const QString root = dir.path();
        const QString named = root + QLatin1String(setup == "missing folder" ? "/missing/x.csv" : "/x.csv");
        const QByteArray target = native(root + "/sub/t");
        const auto link = [&](const QByteArray& to, const QString& from) {
            return ::symlink(to.constData(), native(root + from).constData()) == 0;
        };
        QVERIFY(QDir().mkpath(root + "/sub"));
        if (setup == "file" || setup == "absolute link" || setup == "relative chain")
            QVERIFY(test::writeFile(setup == "file" ? named : root + "/sub/t", kOld));
        if (setup == "absolute link" || setup == "dangling link" || setup == "fifo" || setup == "device")
            QVERIFY(link(target, "/x.csv"));
        if (setup == "relative chain")
            QVERIFY(link("sub/m", "/x.csv") && link("t", "/sub/m"));
        if (setup == "fifo")
            QCOMPARE(::mkfifo(target.constData(), 0600), 0);
        if (setup == "device")
            QCOMPARE(::mknod(target.constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
        if (setup == "folder")
            QVERIFY(QDir().mkpath(named));
        if (setup == "loop")
            QVERIFY(link("y.csv", "/x.csv") && link("x.csv", "/y.csv"));
        // The FIFO's read end is open first, so the export's open neither blocks nor fails.
        const int reader = setup == "fifo" ? ::open(target.constData(), O_RDONLY | O_NONBLOCK) : -1;
        QMap<QString, mode_t> expected = listing(root);

        try {
            ExportFile::write(named, kText);
            QVERIFY(!fails);
        } catch (const ExportFileError& error) {
            QVERIFY2(fails, error.what());
            QCOMPARE(error.path(), named);
            QVERIFY(!error.cause().isEmpty());
            QVERIFY(QString::fromStdString(error.what()).startsWith(named + ": "));
        }
        if (receiver != "-") {
            expected.insert(receiver, S_IFREG);
            QCOMPARE(test::readAll(named), kText);
        }
        QCOMPARE(listing(root), expected);
        if (reader >= 0) {
            QByteArray received(kText.size() + 1, '\0');
            received.truncate(std::max<qsizetype>(0, ::read(reader, received.data(), received.size())));
            ::close(reader);
            QCOMPARE(received, kText);
        }
    }
};

TREVALIN_TEST_MAIN(ExportFileTest)

#include "tst_ExportFile.moc"
