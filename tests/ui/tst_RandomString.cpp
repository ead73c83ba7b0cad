// The taglines model: reading a tagline file (lines in order, a final line feed giving an
// empty last entry, a missing file logged and giving no taglines, where regenerating does
// nothing), and picking taglines at random on the pool.
#include "app/AppTestSupport.h"

#include "engine/EnginePool.h"
#include "ui/RandomString.h"

#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace trevalin;
using test::LogRecorder;

namespace {

// `root` with "Taglines.txt" holding `content` (UTF-8); no file for a null content.
void writeTaglines(const QString& root, const QString& content) {
    if (content.isNull())
        return;
    QFile file(root + QStringLiteral("Taglines.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content.toUtf8());
}

QString missingLine() {
    return QStringLiteral(
        "ERROR: Failed to populate array from file in application bundle: [ Taglines.txt ]");
}

} // namespace

class tst_RandomString : public QObject {
    Q_OBJECT

private slots:
    void load_data() {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QStringList>("database");
        QTest::addRow("lines in order")
            << QStringLiteral("Prüfsumme ✓\nsecond\n\nfourth")
            << QStringList{QStringLiteral("Prüfsumme ✓"), QStringLiteral("second"), QString(),
                           QStringLiteral("fourth")};
        QTest::addRow("final line feed")
            << QStringLiteral("one\ntwo\n")
            << QStringList{QStringLiteral("one"), QStringLiteral("two"), QString()};
        QTest::addRow("missing file") << QString() << QStringList();
    }
    void load() {
        QFETCH(QString, content);
        QFETCH(QStringList, database);
        QTemporaryDir dir;
        const QString root = dir.path() + u'/';
        writeTaglines(root, content);
        LogRecorder log;

        const std::optional<QStringList> lines =
            RandomString::loadTextIntoArray(QStringLiteral("Taglines"), root);
        QCOMPARE(lines.has_value(), !content.isNull());
        QCOMPARE(lines.value_or(QStringList()), database);
        QCOMPARE(log.has(missingLine()), content.isNull());

        RandomString model(QStringLiteral("Taglines"), root);
        QCOMPARE(model.database(), database);
        if (database.isEmpty())
            QCOMPARE(model.randomString(), QString());
        else
            QVERIFY(database.contains(model.randomString()));

        // Without taglines a regeneration changes nothing and says nothing.
        log.clear();
        QSignalSpy changed(&model, &RandomString::randomStringChanged);
        model.regenerate();
        QCOMPARE(changed.isEmpty(), database.isEmpty());
        QCOMPARE(log.lines().isEmpty(), database.isEmpty());
        if (database.isEmpty())
            QCOMPARE(model.randomString(), QString());
    }

    // Every regeneration picks one of the taglines and says which; over many picks each
    // one comes up.
    void regenerate() {
        QTemporaryDir dir;
        const QString root = dir.path() + u'/';
        const QStringList taglines{QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("gamma")};
        writeTaglines(root, taglines.join(u'\n'));
        RandomString model(QStringLiteral("Taglines"), root);
        // Emitted on the pool threads, received here one by one.
        QStringList changed;
        connect(&model, &RandomString::randomStringChanged, &model,
                [&changed](const QString& tagline) { changed.append(tagline); });
        LogRecorder log;

        constexpr int kRuns = 60;
        for (int i = 0; i < kRuns; ++i)
            EnginePool::runLow([&model] { model.regenerate(); });
        QVERIFY(EnginePool::waitForDone(5000));
        QTRY_COMPARE(changed.count(), kRuns);
        const QStringList lines = log.lines();
        QCOMPARE(lines.size(), kRuns);
        QSet<QString> seen;
        for (const QString& tagline : std::as_const(changed)) {
            QVERIFY(taglines.contains(tagline));
            QVERIFY(lines.contains(QStringLiteral("INFO: Generated a new tagline [ ") + tagline +
                                   QStringLiteral(" ]")));
            seen.insert(tagline);
        }
        QCOMPARE(seen.size(), taglines.size());
        QVERIFY(taglines.contains(model.randomString()));
    }
};

TREVALIN_GUI_TEST_MAIN(tst_RandomString)
#include "tst_RandomString.moc"
