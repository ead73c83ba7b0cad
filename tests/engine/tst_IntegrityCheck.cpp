// The bit-rot check on real files: each verdict from the change that leads to it (run(),
// which reports in order and stores only changed records: tst_Trevalinctl's check).
#include "EngineTestSupport.h"
#include "TestMain.h"

#include "engine/IntegrityCheck.h"
#include "model/ChecksumCalculator.h"

#include <QTemporaryDir>

using namespace trevalin;
using namespace trevalin::test;
using Verdict = IntegrityCheck::Verdict;

namespace {

const QByteArray kContent(64 * 1024, 'a');
const QList<Digest> kStored{Digest::MD5, Digest::SHA256};

// A tracked record of `path` as intake leaves it: metadata and the stored digests.
FileObjectPtr track(const QString& path) {
    const FileObjectPtr record = FileObject::create(Location(path), false);
    record->setChecksums(*ChecksumCalculator::checksumAll(Location(path), kStored));
    record->setStatus(FileState::Processed);
    return record;
}

// Changes the file as `change` says; false when that failed.
bool apply(const QString& change, const QString& path, const FileObjectPtr& record) {
    const QByteArray name = QFile::encodeName(path);
    if (change == QLatin1String("append")) {
        QFile file(path);
        return file.open(QIODevice::Append) && file.write("more") == 4;
    }
    if (change == QLatin1String("rot"))
        return rot(path);
    if (change == QLatin1String("forged")) {
        // The file is intact; only its stored SHA256 is wrong.
        QList<Checksum> checksums = record->checksums();
        checksums[1].value = ChecksumCalculator::hashBytes(QByteArrayLiteral("other"), Digest::SHA256);
        record->setChecksums(checksums);
        return true;
    }
    if (change == QLatin1String("remove"))
        return QFile::remove(path);
    if (change == QLatin1String("chmod"))
        return ::chmod(name.constData(), 0) == 0;
    return change == QLatin1String("none");
}

QStringList names(const QList<Digest>& digests) {
    QStringList out;
    for (Digest digest : digests)
        out.append(toString(digest));
    return out;
}

} // namespace

class TestIntegrityCheck : public QObject {
    Q_OBJECT

private slots:
    void verify_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QStringList>("differs");
        QTest::newRow("ok") << "none" << int(Verdict::Ok) << QStringList();
        QTest::newRow("changed") << "append" << int(Verdict::Changed) << QStringList();
        QTest::newRow("corrupt") << "rot" << int(Verdict::Corrupt) << QStringList{"MD5", "SHA256"};
        QTest::newRow("corrupt, one digest") << "forged" << int(Verdict::Corrupt) << QStringList{"SHA256"};
        QTest::newRow("missing") << "remove" << int(Verdict::Missing) << QStringList();
        QTest::newRow("unreadable") << "chmod" << int(Verdict::Unreadable) << QStringList();
    }
    void verify() {
        QFETCH(QString, change);
        QFETCH(int, verdict);
        QFETCH(QStringList, differs);
        if (change == QLatin1String("chmod"))
            TREVALIN_RUN_UNPRIVILEGED(); // root reads every file
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("file.bin"));
        QVERIFY(writeFile(path, kContent));
        const FileObjectPtr record = track(path);
        QVERIFY(apply(change, path, record));
        const FileObjectData stored = record->snapshot();

        const IntegrityCheck::Result result = IntegrityCheck::verify(record, {Digest::SHA1});
        TCOMPARE_ENUM(result.verdict, verdict);
        QCOMPARE(result.record, record);
        QCOMPARE(names(result.differs), differs);
        // The stored record still describes what was tracked, whatever the verdict.
        QCOMPARE(record->checksums(), stored.checksums);
        QVERIFY(*record == *FileObject::fromData(stored));
        if (verdict != int(Verdict::Changed)) {
            QVERIFY(!result.fresh);
            return;
        }
        // Hashed again with the enabled algorithms, not the stored ones.
        QVERIFY(result.fresh);
        QCOMPARE(result.fresh->bytes(), quint64(kContent.size() + 4));
        QCOMPARE(result.fresh->checksums().size(), 1);
        TCOMPARE_ENUM(result.fresh->checksums()[0].algorithm, Digest::SHA1);
        QCOMPARE(result.fresh->checksums()[0].value,
                 ChecksumCalculator::hashBytes(kContent + "more", Digest::SHA1));
        TCOMPARE_ENUM(result.fresh->status(), FileState::Processed);
    }
};

TREVALIN_TEST_MAIN(TestIntegrityCheck)
#include "tst_IntegrityCheck.moc"
