// Digest computation: known-answer vectors through the one-algorithm and the one-pass
// forms, files large enough to use the reading and hashing threads, and bad input
// (missing, unreadable, folders, FIFOs, files truncated while read).
#include "ModelTestSupport.h"
#include "TestMain.h"

#include "logging/DebugGate.h"
#include "model/ChecksumCalculator.h"

#include <QDir>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cstring>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using namespace trevalin;
using trevalin::test::LogRecorder;
using trevalin::test::writeFile;

namespace {

const QString kFailureWarning = QStringLiteral("An error occured checksumming the file, perhaps it was not "
                                               "safe to memory map file, or maybe the file was "
                                               "removed");

QByteArray pseudoRandom(qsizetype size, quint32 seed) {
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    generator.fillRange(reinterpret_cast<quint32*>(data.data()), size / 4);
    for (qsizetype i = size / 4 * 4; i < size; ++i)
        data[i] = char(generator.generate());
    return data;
}

} // namespace

class TestChecksumCalculator : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/tst_Checksum-XXXXXX")};
    QString path(const QString& name) const { return m_dir.path() + u'/' + name; }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755) == 0);
    }

    void knownAnswers_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("expected"); // MD5, SHA1, SHA256, SHA384, SHA512
        QTest::newRow("empty")
            << QByteArray()
            << QStringList{"d41d8cd98f00b204e9800998ecf8427e", "da39a3ee5e6b4b0d3255bfef95601890afd80709",
                           "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
                           "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fb"
                           "d51ad2f14898b95b",
                           "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0"
                           "ff8318d2877eec2f63b931bd47417a81a538327af927da3e"};
        QTest::newRow("abc")
            << QByteArray("abc")
            << QStringList{"900150983cd24fb0d6963f7d28e17f72", "a9993e364706816aba3e25717850c26c9cd0d89d",
                           "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
                           "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc23"
                           "58baeca134c825a7",
                           "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a8"
                           "36ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"};
        QTest::newRow("448 bits")
            << QByteArray("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")
            << QStringList{"8215ef0796a20bcaaae116d3876c664a", "84983e441c3bd26ebaae4aa1f95129e5e54670f1",
                           "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
                           "3391fdddfc8dc7393707a65b1b4709397cf8b1d162af05abfe8f450de5f36bc6b0455a8520bc"
                           "4e6f5fe95b1fe3c8452b",
                           "204a8fc6dda82f0a0ced7beb8e08a41657c16ef468b228a8279be331a703c33596fd15c13b1b"
                           "07f9aa1d3bea57789ca031ad85c7a71dd70354ec631238ca3445"};
        QTest::newRow("one million a")
            << QByteArray(1000000, 'a')
            << QStringList{"7707d6ae4e027c70eea2a935c2296f21", "34aa973cd4c4daa4f61eeb2bdbad27316534016f",
                           "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
                           "9d0e1809716474cb086e834e310a4a1ced149e9c00f248527972cec5704c2a5b07b8b3dc"
                           "38ecc4ebae97ddd87f3d8985",
                           "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244"
                           "877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b"};
    }
    void knownAnswers() {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, expected);
        // Names with quotes, commas, a line feed and non-ASCII, and links to files, are
        // hashed like any other.
        const QString file =
            path(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(" 'a, \"b\"'\nÜ ✓"));
        QVERIFY(writeFile(file, input) && QFile::link(file, file + QStringLiteral(".link")));
        const Location location(file);

        for (Digest digest : kAllDigests) {
            QCOMPARE(ChecksumCalculator::hashBytes(input, digest), expected.at(int(digest)));
            const std::optional<Checksum> single = ChecksumCalculator::checksum(location, digest);
            const std::optional<Checksum> linked =
                ChecksumCalculator::checksum(Location(file + QStringLiteral(".link")), digest);
            QVERIFY(single && linked);
            TCOMPARE_ENUM(single->algorithm, digest);
            QCOMPARE(single->value, expected.at(int(digest)));
            QCOMPARE(linked->value, single->value);
            QVERIFY(linked->id != single->id); // a fresh id each time
        }
        QCOMPARE(ChecksumCalculator::checksumAll(location, {})->size(), 0);
        const std::optional<QList<Checksum>> all = ChecksumCalculator::checksumAll(location, allDigests());
        QVERIFY(all);
        QCOMPARE(all->size(), 5);
        for (int i = 0; i < 5; ++i) {
            TCOMPARE_ENUM(all->at(i).algorithm, kAllDigests[size_t(i)]);
            QCOMPARE(all->at(i).value, expected.at(i));
        }
    }

    // Sizes around the block size and the threshold for the hashing threads.
    void largeFiles_data() {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<int>("cores");
        QTest::newRow("1 MiB - 1") << qsizetype((1 << 20) - 1) << 0;
        QTest::newRow("1 MiB") << qsizetype(1 << 20) << 0;
        QTest::newRow("2 MiB + 1") << qsizetype((2 << 20) + 1) << 0;
        QTest::newRow("4 MiB") << qsizetype(4 << 20) << 0;
        // More blocks than the ring holds, with one, two and five hashing threads.
        QTest::newRow("19 MiB + 7, 1 core") << qsizetype((19 << 20) + 7) << 1;
        QTest::newRow("19 MiB + 7, 2 cores") << qsizetype((19 << 20) + 7) << 2;
        QTest::newRow("19 MiB + 7, 8 cores") << qsizetype((19 << 20) + 7) << 8;
    }
    void largeFiles() {
        QFETCH(qsizetype, size);
        QFETCH(int, cores);
        ChecksumCalculator::setCoresForTesting(cores);
        const auto restore = qScopeGuard([] { ChecksumCalculator::setCoresForTesting(0); });
        const QByteArray data = pseudoRandom(size, quint32(size));
        const QString file = path(QStringLiteral("large-%1").arg(size));
        QVERIFY(writeFile(file, data));
        const Location location(file);

        // Every subset order the engine may ask for, including duplicates.
        const QList<QList<Digest>> requests{
            allDigests(),
            {Digest::SHA512, Digest::MD5},
            {Digest::SHA256},
            {Digest::SHA1, Digest::SHA1, Digest::MD5},
        };
        for (const QList<Digest>& request : requests) {
            const std::optional<QList<Checksum>> all = ChecksumCalculator::checksumAll(location, request);
            QVERIFY(all);
            QCOMPARE(all->size(), request.size());
            for (int i = 0; i < request.size(); ++i) {
                TCOMPARE_ENUM(all->at(i).algorithm, request.at(i));
                QCOMPARE(all->at(i).value, ChecksumCalculator::hashBytes(data, request.at(i)));
            }
        }
    }

    // Nothing to hash, or nothing that ends: refused with a warning, never a hang.
    void refused_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"missing", "unreadable", "folder", "fifo", "link to folder", "device"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void refused() {
        QFETCH(QString, kind);
        // The FIFO: nobody ever writes to it. The device: endless. Neither is ever read.
        const QString target = kind == u"device" ? QStringLiteral("/dev/zero") : path(kind);
        QVERIFY(kind == u"device" || test::makeOddEntry(kind, target));
        // Without root, so that permission bits count.
        const int result = test::runUnprivileged([&] {
            LogRecorder log;
            if (ChecksumCalculator::checksum(Location(target), Digest::SHA256) ||
                ChecksumCalculator::checksumAll(Location(target), allDigests()))
                return 1;
            if (log.messages(Level::Warning) != QStringList{kFailureWarning, kFailureWarning})
                return 2;
            const QString missing = QString::fromLocal8Bit(std::strerror(ENOENT));
            return kind != u"missing" || log.messages(Level::Error).filter(missing).size() == 2 ? 0 : 3;
        });
        QCOMPARE(result, 0);
    }

    // A file truncated and rewritten while it is being read gives a digest or none, never
    // a crash or a hang.
    void truncatedWhileRead() {
        const QString file = path(QStringLiteral("shrinking"));
        const QByteArray data = pseudoRandom(6 << 20, 7);
        QVERIFY(writeFile(file, data));
        std::atomic<bool> stop{false};
        std::thread writer([&] {
            const QByteArray name = QFile::encodeName(file);
            while (!stop.load()) {
                ::truncate(name.constData(), 0);
                std::this_thread::yield();
                writeFile(file, data.left(QRandomGenerator::global()->bounded(data.size())));
            }
        });
        for (int i = 0; i < 12; ++i) {
            const auto all = ChecksumCalculator::checksumAll(Location(file), allDigests());
            for (const Checksum& checksum : all.value_or(QList<Checksum>()))
                QCOMPARE(checksum.value.size(), digestSize(checksum.algorithm) * 2);
        }
        stop = true;
        writer.join();
    }

    // With the debug gate open, and only then, each pass names the thread it runs on.
    void debugGatedThreadLine() {
        QVERIFY(writeFile(path(QStringLiteral("debug")), "abc"));
        LogRecorder log;
        for (bool open : {true, false}) {
            DebugGate::set(open);
            QVERIFY(ChecksumCalculator::checksum(Location(path(QStringLiteral("debug"))), Digest::MD5));
        }
        QCOMPARE(log.messages().size(), 1);
        QVERIFY(log.messages().front().startsWith(QStringLiteral("Checksum processing running on: ")));
    }
};

TREVALIN_TEST_MAIN(TestChecksumCalculator)
#include "tst_ChecksumCalculator.moc"
