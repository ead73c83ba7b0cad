// Locations: lexical normalisation, the parts of a path and the URL text round trip.
#include "TestMain.h"

#include "model/Location.h"

#include <QDir>
#include <QHash>
#include <QTest>

#include <unordered_set>

using namespace trevalin;

class TestLocation : public QObject {
    Q_OBJECT

private slots:
    void normalisation_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("path");
        // clang-format off
        QTest::newRow("plain") << "/a/b" << "/a/b";
        QTest::newRow("trailing slash") << "/a/b/" << "/a/b";
        QTest::newRow("root") << "/" << "/";
        QTest::newRow("doubled slashes") << "//a///b" << "/a/b";
        QTest::newRow("dot") << "/a/./b/." << "/a/b";
        QTest::newRow("dot dot") << "/a/x/../b" << "/a/b";
        QTest::newRow("above root") << "/../../a" << "/a";
        QTest::newRow("to root") << "/a/.." << "/";
        QTest::newRow("dots in names kept") << "/a/..b/c.." << "/a/..b/c..";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("relative made absolute") << "x/y" << QDir::currentPath() + "/x/y";
        // clang-format on
    }
    void normalisation() {
        QFETCH(QString, input);
        QFETCH(QString, path);
        QCOMPARE(Location(input).path(), path);
        QCOMPARE(Location(input).isEmpty(), path.isEmpty());
    }

    void parts_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("suffix");
        auto row = [](const char* tag, const char* path, const char* name, const char* directory,
                      const char* suffix) {
            QTest::newRow(tag) << QString::fromUtf8(path) << QString::fromUtf8(name)
                               << QString::fromUtf8(directory) << QString::fromUtf8(suffix);
        };
        row("file", "/a/b/my report.pdf", "my report.pdf", "/a/b", "pdf");
        row("in root", "/f.txt", "f.txt", "/", "txt");
        row("root", "/", "", "/", "");
        row("double extension", "/a/archive.tar.gz", "archive.tar.gz", "/a", "gz");
        row("hidden", "/a/.bashrc", ".bashrc", "/a", "");
        row("trailing dot", "/a/name.", "name.", "/a", "");
        row("no extension", "/a/Makefile", "Makefile", "/a", "");
        row("dotted folder", "/a.b/c", "c", "/a.b", "");
    }
    void parts() {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QFETCH(QString, directory);
        QFETCH(QString, suffix);
        const Location location(path);
        QCOMPARE(location.fileName(), name);
        QCOMPARE(location.directory(), directory);
        QCOMPARE(location.parent().path(), directory);
        QCOMPARE(location.suffix(), suffix);
        if (!name.isEmpty())
            QCOMPARE(location.parent().child(name), location);
    }

    void urlText_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("url");
        auto row = [](const char* name, const char* path, const char* url) {
            QTest::newRow(name) << QString::fromUtf8(path) << QString::fromUtf8(url);
        };
        row("plain", "/tmp/a", "file:///tmp/a");
        row("space", "/tmp/a b", "file:///tmp/a%20b");
        row("percent and hash", "/tmp/100%#1", "file:///tmp/100%25%231");
        row("question mark", "/tmp/what?", "file:///tmp/what%3F");
        row("non-ASCII", "/tmp/ü", "file:///tmp/%C3%BC");
        row("new line", "/tmp/a\nb", "file:///tmp/a%0Ab");
        row("root", "/", "file:///");
    }
    void urlText() {
        QFETCH(QString, path);
        QFETCH(QString, url);
        const Location location(path);
        QCOMPARE(location.urlText(), url);
        QCOMPARE(Location::fromUrlText(url), location);
        QCOMPARE(Location::fromUrl(location.url()), location);
    }

    void foreignUrls() {
        QVERIFY(Location::fromUrlText(QStringLiteral("https://example.invalid/a")).isEmpty());
        QVERIFY(Location::fromUrlText(QStringLiteral("file://otherhost/a")).isEmpty());
        QVERIFY(Location::fromUrlText(QStringLiteral("not a url")).isEmpty());
        QCOMPARE(Location::fromUrlText(QStringLiteral("file://localhost/a/b")).path(),
                 QStringLiteral("/a/b"));
        QCOMPARE(Location::fromUrlText(QStringLiteral("/plain/path/")).path(), QStringLiteral("/plain/path"));
        QVERIFY(Location().urlText().isEmpty());
    }

    void hashing() {
        QHash<Location, int> hash;
        hash.insert(Location(QStringLiteral("/a/b/")), 1);
        QCOMPARE(hash.value(Location(QStringLiteral("/a//b"))), 1);
        std::unordered_set<Location> set{Location(QStringLiteral("/a")), Location(QStringLiteral("/a/."))};
        QCOMPARE(set.size(), size_t(1));
        QVERIFY(Location(QStringLiteral("/a")) < Location(QStringLiteral("/b")));
    }
};

TREVALIN_TEST_MAIN(TestLocation)
#include "tst_Location.moc"
