// Tracked-file records: creation from files of every kind, the name table, metadata
// equality against identity, CSV rows, jobs, folder listings and removal.
#include "ModelTestSupport.h"
#include "TestMain.h"

#include "model/FileObject.h"
#include "model/FileSystem.h"
#include "model/Job.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <unordered_set>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

using namespace trevalin;
using trevalin::test::LogRecorder;
using trevalin::test::writeFile;

class TestFileObject : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/tst_FileObject-XXXXXX")};

    QString path(const QString& name) const { return m_dir.path() + u'/' + name; }
    FileObjectPtr make(const QString& name, const QByteArray& data = "x") {
        if (!writeFile(path(name), data))
            return {};
        return FileObject::create(Location(path(name)), false);
    }
    // The exception `f` throws, if any.
    template <typename F> static std::optional<FileSystemException> thrown(F f) {
        try {
            f();
        } catch (const FileSystemException& e) {
            return e;
        }
        return std::nullopt;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        // Traversable by the unprivileged child of the permission tests.
        QVERIFY(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755) == 0);
    }

    void fieldsOfARegularFile() {
        const FileObjectPtr file = make("report.pdf", QByteArray(1234, 'a'));
        QVERIFY(file);
        QCOMPARE(file->directory(), m_dir.path());
        QCOMPARE(file->bytes(), quint64(1234));
        QCOMPARE(make("empty", QByteArray())->bytes(), quint64(0));
        QVERIFY(!file->bookmarked());
        QVERIFY(FileObject::create(file->location(), true)->bookmarked());

        struct stat st;
        QVERIFY(::stat(QFile::encodeName(file->path()).constData(), &st) == 0);
        const double expected = double(st.st_mtim.tv_sec) + double(st.st_mtim.tv_nsec) / 1e9;
        QCOMPARE(file->modified(), expected); // nanoseconds kept
        // Birth time where the file system records it, else 0; never in the future.
        QVERIFY(file->created() >= 0);
        QVERIFY(file->created() <= file->modified() + 1);

        // A link to a file is kept as the link, not resolved.
        QVERIFY(QFile::link(file->path(), path("link-to-file.lnk")));
        const FileObjectPtr linked = FileObject::create(Location(path("link-to-file.lnk")), false);
        QCOMPARE(linked->path(), path("link-to-file.lnk"));
        QCOMPARE(linked->bytes(), quint64(1234));
        QCOMPARE(linked->suffix(), QStringLiteral("lnk"));
    }

    void names_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("suffix");
        auto row = [](const char* tag, const char* name, const char* prefix, const char* suffix) {
            QTest::newRow(tag) << QString::fromUtf8(name) << QString::fromUtf8(prefix)
                               << QString::fromUtf8(suffix);
        };
        row("report.pdf", "report.pdf", "report", "pdf");
        row("archive.tar.gz", "archive.tar.gz", "archive.tar", "gz");
        row("Makefile", "Makefile", "Makefile", "");
        row("release1.2", "release1.2", "release1", "2");
        row("hidden no extension", ".bashrc", "", "");
        row("hidden with extension", ".config.json", ".config", "json");
        row("trailing dot", "name.", "name", "");
        row("repeated suffix", "x.gz.gz", "x", "gz");
        row("non-ASCII", "Grüße.tëxt", "Grüße", "tëxt");
        row("new line", "line\nbreak.txt", "line\nbreak", "txt");
    }
    void names() {
        QFETCH(QString, name);
        QFETCH(QString, prefix);
        QFETCH(QString, suffix);
        const FileObjectPtr file = make(name);
        QVERIFY(file);
        QCOMPARE(file->name(), name);
        QCOMPARE(file->prefix(), prefix);
        QCOMPARE(file->suffix(), suffix);
        QCOMPARE(file->path(), path(name));
        QCOMPARE(FileObject::prefixFor(name, suffix), prefix);
    }

    // Not a file: an error; not found or not readable: a warning.
    void createErrors_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("message"); // before " [ FileObject: <path> ]"
        const QString notFound = QStringLiteral("File not found prevented instantiation");
        const QString notFile = QStringLiteral("Specified location is not a file");
        QTest::newRow("missing") << int(FileSystemError::NotFound) << notFound;
        QTest::newRow("dangling link") << int(FileSystemError::NotFound) << notFound;
        QTest::newRow("unreadable") << int(FileSystemError::NotReadable)
                                    << QStringLiteral("File permissions prevented instantiation");
        QTest::newRow("folder") << int(FileSystemError::NotFile) << notFile;
        // The FIFO is never opened: this returns at once.
        QTest::newRow("fifo") << int(FileSystemError::NotFile) << notFile;
        QTest::newRow("link to folder") << int(FileSystemError::NotFile) << notFile;
    }
    void createErrors() {
        QFETCH(int, error);
        QFETCH(QString, message);
        const Level level =
            FileSystemError(error) == FileSystemError::NotFile ? Level::Error : Level::Warning;
        const QString kind = QString::fromLatin1(QTest::currentDataTag());
        const QString target = path(kind);
        QVERIFY(test::makeOddEntry(kind, target));
        // Without root, so that permission bits count.
        const int result = test::runUnprivileged([&] {
            LogRecorder log;
            const auto e = thrown([&] { FileObject::create(Location(target), false); });
            if (!e || e->error() != FileSystemError(error))
                return 1;
            return log.has(level, message + QStringLiteral(" [ FileObject: ") + target + QStringLiteral(" ]"))
                       ? 0
                       : 2;
        });
        QCOMPARE(result, 0);
    }

    void equalityAgainstIdentity() {
        const FileObjectPtr first = make("same.txt", "content");
        const FileObjectPtr second = FileObject::create(first->location(), false);
        QVERIFY(*first == *second);
        QVERIFY(first->identifier() != second->identifier());
        QSet<FileObjectPtr> set{first, second};
        QCOMPARE(set.size(), 2);
        std::unordered_set<FileObjectPtr> stdSet{first, second, first};
        QCOMPARE(stdSet.size(), size_t(2));

        // Status, checksums, identifier and bookmark do not take part.
        second->setStatus(FileState::Processed);
        second->storeChecksum(Checksum::make(Digest::MD5, QStringLiteral("00")));
        second->setBookmarked(true);
        second->setIdentifier(QUuid::createUuid());
        QVERIFY(*first == *second);

        // A new modification time (same size and content) makes a fresh record differ.
        struct timeval times[2] = {{1000000000, 0}, {1000000000, 500000}};
        QVERIFY(::utimes(QFile::encodeName(first->path()).constData(), times) == 0);
        const FileObjectPtr touched = FileObject::create(first->location(), false);
        QVERIFY(!(*first == *touched));
        QCOMPARE(touched->modified(), 1000000000.5);

        second->setBytes(first->bytes() + 1);
        QVERIFY(!(*first == *second));
    }

    void nanNeverEqual() {
        FileObjectData data;
        data.path = QStringLiteral("/x");
        data.modified = std::nan("");
        const FileObjectPtr a = FileObject::fromData(data);
        QVERIFY(!(*a == *FileObject::fromData(data)));
        QVERIFY(!(*a == *a));
    }

    void storeChecksum() {
        const FileObjectPtr file = make("store.txt");
        const Checksum sha = Checksum::make(Digest::SHA256, QStringLiteral("11"));
        TCOMPARE_ENUM(file->storeChecksum(sha), FileObject::StoreResult::Added);
        TCOMPARE_ENUM(file->storeChecksum(Checksum::make(Digest::SHA256, QStringLiteral("11"))),
                      FileObject::StoreResult::Unchanged);
        QCOMPARE(file->checksums().front().id, sha.id); // unchanged keeps the first one
        TCOMPARE_ENUM(file->storeChecksum(Checksum::make(Digest::MD5, QStringLiteral("22"))),
                      FileObject::StoreResult::Added);
        TCOMPARE_ENUM(file->storeChecksum(Checksum::make(Digest::SHA256, QStringLiteral("33"))),
                      FileObject::StoreResult::Replaced);
        const QList<Checksum> stored = file->checksums();
        QCOMPARE(stored.size(), 2);
        TCOMPARE_ENUM(stored[0].algorithm, Digest::SHA256); // replaced in place
        QCOMPARE(stored[0].value, QStringLiteral("33"));
        QCOMPARE(file->checksum(Digest::MD5)->value, QStringLiteral("22"));
        QVERIFY(!file->checksum(Digest::SHA512));
    }

    // tst_CsvExport checks that the export writes these rows unchanged.
    void csvRow_data() {
        QTest::addColumn<QString>("filePath");
        QTest::addColumn<QStringList>("digests"); // "ALG=value"
        QTest::addColumn<QString>("row");
        QTest::newRow("none") << "/d/f" << QStringList{} << "/d/f,,,,,";
        QTest::newRow("all, stored out of order")
            << "/d/f" << QStringList{"SHA512=e", "MD5=a", "SHA384=d", "SHA1=b", "SHA256=c"}
            << "/d/f,a,b,c,d,e";
        QTest::newRow("first of each algorithm") << "/d/f" << QStringList{"SHA1=b", "SHA1=z"} << "/d/f,,b,,,";
        QTest::newRow("quote doubled") << "/d/a\"b" << QStringList{} << "\"/d/a\"\"b\",,,,,";
        QTest::newRow("carriage return quoted") << "/d/a\rb" << QStringList{} << "\"/d/a\rb\",,,,,";
    }
    void csvRow() {
        QFETCH(QString, filePath);
        QFETCH(QStringList, digests);
        QFETCH(QString, row);
        FileObjectData data;
        data.path = filePath;
        for (const QString& entry : digests) {
            const QStringList parts = entry.split(u'=');
            data.checksums.append(Checksum::make(*digestFromString(parts[0]), parts[1]));
        }
        QCOMPARE(FileObject::fromData(data)->csvRow(), row);
    }

    void jobs() {
        const FileObjectPtr first = make("job.txt");
        const FileObjectPtr second = FileObject::create(first->location(), false);
        const Job a{first, Digest::SHA1};
        const Job b{second, Digest::SHA1};
        QVERIFY(a == b);                          // metadata equality
        QVERIFY(!(a == Job{first, Digest::MD5})); // algorithm differs
        QVERIFY(!JobIdentityEqual()(a, b));       // distinct records
        QVERIFY(JobIdentityEqual()(a, Job{first, Digest::SHA1}));
        QVERIFY(!(a == Job{nullptr, Digest::SHA1}));
    }

    void directoryContents() {
        const QString folder = path("listing");
        QVERIFY(QDir().mkpath(folder + "/sub"));
        QVERIFY(writeFile(folder + "/b file", "1"));
        QVERIFY(writeFile(folder + "/a.txt", "1"));
        QVERIFY(writeFile(folder + "/.hidden", "1"));
        QVERIFY(::mkfifo(QFile::encodeName(folder + "/fifo").constData(), 0644) == 0);
        QVERIFY(QFile::link(folder + "/a.txt", folder + "/c-link"));
        QVERIFY(QFile::link(folder + "/sub", folder + "/d-dirlink"));
        QVERIFY(QDir().mkpath(path("listing-target")) &&
                QFile::link(path("listing-target"), folder + "/e-outside"));
        const QList<Location> entries = FileSystem(Location(folder)).directoryContents();
        QStringList names;
        for (const Location& entry : entries) {
            names.append(entry.fileName());
            QCOMPARE(entry.directory(), folder);
        }
        QCOMPARE(names, (QStringList{"a.txt", "b file", "c-link", "fifo"}));

        const auto missing =
            thrown([&] { FileSystem(Location(path("no-such-folder"))).directoryContents(); });
        QVERIFY(missing && missing->systemErrno() != 0);
        TCOMPARE_ENUM(missing->error(), FileSystemError::NotFound);
        QVERIFY(thrown([&] { FileSystem(Location(folder + "/a.txt")).directoryContents(); }));
        // Attribute queries on a path that is gone report NotFound.
        const auto gone = thrown([&] { FileSystem(Location(path("gone"))).size(); });
        QVERIFY(gone && thrown([&] { FileSystem(Location(path("gone"))).attributes(); }));
        TCOMPARE_ENUM(gone->error(), FileSystemError::NotFound);

        // Removal takes the folder with all it holds; what is already gone is no error.
        FileSystem(Location(folder)).remove();
        QVERIFY(!QFileInfo::exists(folder) && QFileInfo::exists(path("listing-target")));
        FileSystem(Location(folder)).remove();
    }
};

TREVALIN_TEST_MAIN(TestFileObject)
#include "tst_FileObject.moc"
